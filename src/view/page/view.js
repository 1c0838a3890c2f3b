"use strict";
// The show view: what the program sends over the WebSocket, drawn; the buttons only ask the
// program, which answers each with a result.
(() => {
  const $ = (id) => document.getElementById(id);
  const token = new URLSearchParams(location.search).get("token") || "";
  const HomeArmedMs = 3000;

  let socket = null;
  let connected = false;
  let control = false;
  let refusal = "";
  let authReason = "";
  let retryMs = 1000;
  let stands = null;
  let show = null;
  let lineWrongSince = null;
  let homeArmed = null;
  let resultTimer = null;
  let shownOnStage = 0;
  const tiles = [];

  function connect() {
    socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
    socket.onopen = () => {
      connected = true;
      refusal = "";
      retryMs = 1000;
      if (token) socket.send(JSON.stringify({ type: "auth", token }));
      render();
    };
    socket.onmessage = (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch {
        return;
      }
      receive(message);
    };
    socket.onclose = (event) => {
      connected = false;
      control = false;
      if (event.reason) refusal = event.reason;
      render();
      setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, 10000);
    };
  }

  function receive(message) {
    if (message.type === "auth") {
      control = message.control === true;
      authReason = message.reason || "";
      // Too many wrong tries from here: the token is tried again once the wait is over.
      if (message.waitMs > 0) setTimeout(() => socket.send(JSON.stringify({ type: "auth", token })), message.waitMs + 100);
      render();
    } else if (message.type === "state") {
      if (message.stands) stands = message.stands;
      if (message.show) show = message.show;
      lineWrongSince = stands && stands.line !== "answering" ? Date.now() - message.lineWrongForMs : null;
      if (message.stands) drawStands();
      if (message.show) drawShow();
      drawBanner();
    } else if (message.type === "result") {
      say(message.ok ? "" : message.reason, !message.ok);
    }
  }

  function send(command, extra) {
    if (!connected || !control) return;
    socket.send(JSON.stringify(Object.assign({ type: "command", command }, extra || {})));
  }

  function say(text, warning) {
    const result = $("result");
    result.textContent = text;
    result.classList.toggle("warning", !!warning);
    clearTimeout(resultTimer);
    if (text) resultTimer = setTimeout(() => (result.textContent = ""), 4000);
  }

  function element(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function setText(e, text) {
    if (e.textContent !== text) e.textContent = text;
  }

  function percent(height) {
    return Math.max(0, Math.min(99, height)) / 99 * 100 + "%";
  }

  function makeTile(n) {
    const tile = element("div", "tile");
    tile.id = "stand-" + n;
    tile.append(element("div", "num", String(n)));
    const bar = element("div", "bar");
    const fill = element("div", "fill");
    const target = element("div", "target");
    const ghost = element("div", "ghost");
    bar.append(fill, target, ghost);
    const actual = element("div", "actual");
    const sub = element("div", "sub");
    tile.append(bar, actual, sub);
    return { tile, fill, target, ghost, actual, sub, last: "" };
  }

  function drawStands() {
    const box = $("stands");
    const list = stands.stands;
    while (tiles.length < list.length) {
      const t = makeTile(tiles.length + 1);
      tiles.push(t);
      box.append(t.tile);
    }
    while (tiles.length > list.length) tiles.pop().tile.remove();
    box.style.setProperty("--n", String(Math.max(1, list.length)));
    box.style.setProperty("--n4", String(Math.max(1, Math.min(4, list.length))));
    list.forEach((s, i) => {
      const t = tiles[i];
      const key = JSON.stringify(s);
      if (key === t.last) return;
      t.last = key;
      t.tile.classList.toggle("off", !s.on);
      // A stand that does not answer has no height to show, least of all 0.
      setText(t.actual, s.on ? String(s.a) : "—");
      setText(t.sub, s.on ? "target " + s.t : "no answer");
      t.fill.style.height = s.on ? percent(s.a) : "0";
      t.target.style.bottom = percent(s.t);
      t.ghost.hidden = s.g === null || s.g === undefined;
      if (!t.ghost.hidden) t.ghost.style.bottom = percent(s.g);
    });
  }

  function rowName(row) {
    return show && row >= 1 && row <= show.rows.length ? show.rows[row - 1] : null;
  }

  function who(id, row) {
    const entry = rowName(row);
    $(id).textContent = entry ? row + " · " + entry[0] : "—";
  }

  function drawShow() {
    $("current").textContent = show.current || "nobody";
    $("current").classList.toggle("none", !show.current);
    const next = rowName(show.next);
    const nextName = $("next-name");
    nextName.textContent = next ? next[0] : "—";
    nextName.classList.toggle("warning", !!(next && next[1]));

    const rows = $("rows");
    rows.replaceChildren(
      ...show.rows.map(([name, warn], i) => {
        const row = i + 1;
        const li = element("li", "row");
        li.append(element("span", "row-num", String(row)), element("span", "row-name" + (warn ? " warning" : ""), name));
        if (row === show.onStage) {
          li.classList.add("on-stage");
          li.append(element("span", "mark", "on stage"));
        } else if (row === show.next) {
          li.classList.add("next");
          li.append(element("span", "mark", "next"));
        }
        if (row === show.position) li.classList.add("cued");
        return li;
      })
    );
    $("no-rows").hidden = show.rows.length > 0;
    if (show.onStage !== shownOnStage) {
      shownOnStage = show.onStage;
      const on = rows.querySelector(".on-stage");
      if (on) on.scrollIntoView({ block: "nearest" });
    }

    who("go-who", show.position);
    who("next-who", Math.min(show.position + 1, show.rows.length));
    who("previous-who", Math.max(show.position - 1, 1));
    const speakers = $("speakers");
    speakers.replaceChildren(...show.speakers.map((name) => Object.assign(document.createElement("option"), { value: name })));
  }

  function clock(ms) {
    const s = Math.floor(ms / 1000);
    return Math.floor(s / 60) + ":" + String(s % 60).padStart(2, "0");
  }

  function drawBanner() {
    const banner = $("banner");
    let text = "";
    if (!connected) text = refusal ? "Not shown: " + refusal : "No connection to the program — trying again";
    else if (stands && stands.line === "closed") text = "Serial line closed";
    else if (stands && stands.line === "retrying") text = "Serial line lost — retrying";
    else if (stands && stands.line === "silent") text = "No stand answers";
    banner.hidden = !text;
    $("banner-text").textContent = text;
    $("banner-time").textContent = connected && lineWrongSince !== null ? clock(Date.now() - lineWrongSince) : "";
  }

  function drawMode() {
    const mode = $("mode");
    let text = "connecting…";
    if (connected) text = control ? "control" : authReason ? authReason + " — view only" : "view only";
    mode.textContent = text;
    mode.className = "mode" + (control ? " control" : authReason ? " warning" : "");
    $("controls").hidden = !(connected && control);
    document.body.classList.toggle("with-controls", connected && control);
  }

  function render() {
    drawMode();
    drawBanner();
  }

  function disarmHome() {
    homeArmed = null;
    $("home").classList.remove("armed");
    $("home").querySelector(".word").textContent = "Home";
  }

  $("go").addEventListener("click", () => send("go"));
  $("next").addEventListener("click", () => send("next"));
  $("previous").addEventListener("click", () => send("previous"));
  $("abort").addEventListener("click", () => send("abort"));
  // Home sends every stand down: it asks for a second press within three seconds.
  $("home").addEventListener("click", () => {
    if (homeArmed) {
      clearTimeout(homeArmed);
      disarmHome();
      send("home");
      return;
    }
    homeArmed = setTimeout(disarmHome, HomeArmedMs);
    $("home").classList.add("armed");
    $("home").querySelector(".word").textContent = "Home? Press again";
  });
  $("take-form").addEventListener("submit", (event) => {
    event.preventDefault();
    const name = $("name").value.trim();
    if (name) send("take", { name });
  });
  setInterval(drawBanner, 500);
  render();
  connect();
})();
