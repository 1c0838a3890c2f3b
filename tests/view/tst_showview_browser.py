#!/usr/bin/env python3
"""The show view in a real browser: Debian's chromium, headless, driven through chromium-driver
and selenium, against the real program with the stand simulator as COM1 and the prompter tool
as its partner. ELEVRA_EXECUTABLE, STANDSIM_EXECUTABLE, PROMPTER_EXECUTABLE and ELEVRA_SOURCE_DIR
name what it runs; screenshots of the page at phone and 1080p sizes go to SCREENSHOT_DIR."""

import base64
import http.server
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

SKIP = 77


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    skip("python3-selenium is not installed")

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
if not (os.access(CHROMIUM, os.X_OK) and os.access(CHROMEDRIVER, os.X_OK)):
    skip("chromium or chromium-driver is not installed")

ELEVRA = os.environ["ELEVRA_EXECUTABLE"]
STANDSIM = os.environ["STANDSIM_EXECUTABLE"]
PROMPTER = os.environ["PROMPTER_EXECUTABLE"]
SOURCE = os.environ["ELEVRA_SOURCE_DIR"]
SCREENSHOTS = os.environ.get("SCREENSHOT_DIR", "")
SCALE = 94


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("not within %.0f s: %s" % (timeout, what))
        time.sleep(0.02)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def height_frame(stand, height):
    return " IN *%dA%04X" % (stand, height * SCALE)


class Output:
    """What a child process writes on one of its pipes, collected by a thread."""

    def __init__(self, pipe):
        self.text = ""
        self.lock = threading.Lock()
        threading.Thread(target=self._read, args=(pipe,), daemon=True).start()

    def _read(self, pipe):
        for line in iter(pipe.readline, b""):
            with self.lock:
                self.text += line.decode("utf-8", "replace")

    def get(self):
        with self.lock:
            return self.text


class Standsim:
    def __init__(self, heights, log):
        self.log = log
        self.process = subprocess.Popen([STANDSIM, "--stands", "4", "--speed", "30", "--heights", heights, "--log", log],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.line = self.process.stdout.readline().decode().strip()

    def frames(self):
        try:
            with open(self.log, encoding="latin-1") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def stop(self):
        self.process.kill()
        self.process.wait()


def link(target, name):
    """Points the link `name` at `target` in one step: the program's retries never find it missing,
    which would make COM1 the machine's own first serial port."""
    os.symlink(target, name + ".new")
    os.replace(name + ".new", name)


def handshake(port, origin, host=None):
    """A WebSocket opened by hand; the answer's status line and the socket."""
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    key = base64.b64encode(os.urandom(16)).decode()
    s.sendall(("GET /ws HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\nOrigin: %s\r\n\r\n"
               % (host or "127.0.0.1:%d" % port, key, origin)).encode())
    answer = b""
    while b"\r\n\r\n" not in answer:
        chunk = s.recv(4096)
        if not chunk:
            break
        answer += chunk
    head, _, rest = answer.partition(b"\r\n\r\n")
    return head.split(b"\r\n")[0].decode(), s, rest


def read_frame(s, buffered):
    def need(n):
        nonlocal buffered
        while len(buffered) < n:
            chunk = s.recv(4096)
            if not chunk:
                raise EOFError
            buffered += chunk
        taken, buffered = buffered[:n], buffered[n:]
        return taken

    first, second = need(2)
    length = second & 0x7F
    if length == 126:
        length = struct.unpack(">H", need(2))[0]
    elif length == 127:
        length = struct.unpack(">Q", need(8))[0]
    return first & 0x0F, need(length), buffered


def post_command(port, token, command):
    request = urllib.request.Request("http://127.0.0.1:%d/api/command" % port, data=command.encode(), method="POST",
                                     headers={"Content-Type": "application/json", "Authorization": "Bearer " + token})
    try:
        with urllib.request.urlopen(request, timeout=10) as answer:
            return answer.status
    except urllib.error.HTTPError as error:
        return error.code


# JavaScript run in the page, for the checks that the page itself does not show.
FORGED_GO = """
const done = arguments[arguments.length - 1];
const ws = new WebSocket("ws://" + location.host + "/ws");
ws.onmessage = (e) => {
  const m = JSON.parse(e.data);
  if (m.type === "hello") ws.send(JSON.stringify({type: "command", command: "go"}));
  if (m.type === "result") { ws.close(); done(m); }
};
ws.onclose = () => done(null);
"""

OPEN_FROM_HERE = """
const [url, done] = arguments;
const ws = new WebSocket(url);
ws.onopen = () => { ws.close(); done("open"); };
ws.onclose = (e) => done("closed " + e.code);
"""

OPEN_CLIENTS = """
const [count, done] = arguments;
window.clients = [];
let settled = 0;
for (let i = 0; i < count; ++i) {
  const c = {ws: new WebSocket("ws://" + location.host + "/ws"), open: false, updates: 0, closed: ""};
  c.ws.onopen = () => { c.open = true; if (++settled === count) done(window.clients.filter(x => x.open).length); };
  c.ws.onmessage = (e) => { if (JSON.parse(e.data).stands) c.updates++; };
  c.ws.onclose = (e) => { c.closed = e.reason || String(e.code); if (!c.open && ++settled === count) done(-1); };
  window.clients.push(c);
}
"""

ONE_MORE = """
const done = arguments[arguments.length - 1];
const ws = new WebSocket("ws://" + location.host + "/ws");
ws.onmessage = () => { done("open"); };
ws.onclose = (e) => done("closed: " + e.reason);
window.extra = ws;
"""


def main():
    root = tempfile.mkdtemp(prefix="showview-")
    share = os.path.join(root, "share")
    data = os.path.join(share, "Quillon", "Vantora")
    for folder in ("ports", "Database", "RunOrder"):
        os.makedirs(os.path.join(data, folder))
    for name in ("elevra.msg", "DBase0.db"):
        shutil.copy(os.path.join(SOURCE, "data", name), data)
    port = free_port()
    ini = os.path.join(data, "elevra.ini")
    with open(ini, "w") as f:
        f.write("[Main]\nTelvio Link Enabled=1\nStands Displayed=4\n[Show View]\nShow View Enabled=1\n"
                "Show View Port=%d\n[Run Order]\nR0=2\nR1=0\nR2=1\n" % port)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_DATA_DIRS=share, XDG_RUNTIME_DIR=root,
               XDG_CONFIG_HOME=os.path.join(root, "config"))

    children = []
    driver = None
    foreign = None
    try:
        partner = subprocess.Popen([PROMPTER, "serve"], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        children.append(partner)
        announced, partner_log = Output(partner.stdout), Output(partner.stderr)
        wait_for(lambda: "serving at" in partner_log.get(), 10, "the prompter serves")

        sim = Standsim("10,20,30,40", os.path.join(root, "sim1.log"))
        children.append(sim.process)
        com1 = os.path.join(data, "ports", "COM1")
        os.symlink(sim.line, com1)

        program = subprocess.Popen([ELEVRA], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        children.append(program)
        said = Output(program.stderr)
        line = wait_for(lambda: next((l for l in said.get().splitlines() if l.startswith("Show view control: ")), None),
                        20, "the control address on standard error")
        control_url = line.split(": ", 1)[1]
        token = control_url.split("?token=", 1)[1]
        view_url = "http://127.0.0.1:%d/" % port
        assert control_url == view_url + "?token=" + token, line
        token_file = os.path.join(root, "config", "elevra", "show-view-token")
        assert os.stat(token_file).st_mode & 0o777 == 0o600
        assert token not in open(ini).read()

        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--window-size=1280,900"):
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        driver.set_script_timeout(20)

        def heights():
            return driver.execute_script("return [...document.querySelectorAll('.tile .actual')].map(e => e.textContent)")

        def text(element_id):
            return driver.find_element(By.ID, element_id).text

        # The stands as the simulator reports them, and as they move.
        driver.get(control_url)
        wait_for(lambda: heights() == ["10", "20", "30", "40"], 15, "the stands' heights on the page")
        wait_for(lambda: text("mode") == "control", 5, "control with the token")
        driver.execute_script("""
            window.seen = [];
            const actual = document.querySelector('#stand-1 .actual');
            new MutationObserver(() => seen.push(actual.textContent)).observe(actual, {childList: true});""")

        # Go takes the current row, Panel Host; Next the one after it, Chair: each one take,
        # announced.
        driver.find_element(By.ID, "go").click()
        wait_for(lambda: height_frame(1, 30) in sim.frames(), 5, "Panel Host's height frame")
        wait_for(lambda: heights() == ["30", "32", "34", "36"], 15, "the stands at Panel Host's heights")
        assert any(10 < int(h) < 30 for h in driver.execute_script("return seen") if h.isdigit()), "no height between"
        wait_for(lambda: "Speaker Panel Host" in announced.get(), 5, "Panel Host announced")
        assert text("current") == "1 : Panel Host"
        driver.find_element(By.ID, "next").click()
        wait_for(lambda: height_frame(1, 42) in sim.frames(), 5, "Chair's height frame")
        wait_for(lambda: heights() == ["42", "38", "40", "45"], 15, "the stands at Chair's heights")
        wait_for(lambda: announced.get().splitlines() == ["Speaker Panel Host", "Speaker Chair"], 5, "Chair announced")
        assert sim.frames().count(" IN *1A") == 2
        assert text("current") == "2 : Chair"
        assert driver.find_element(By.CSS_SELECTOR, ".row.on-stage .row-name").text == "Chair"
        assert text("next-name") == "Keynote Speaker"

        # A lost line shows at once, and a new simulator on COM1 clears it.
        sim.stop()
        link(os.path.join(root, "gone"), com1)
        wait_for(lambda: driver.find_element(By.ID, "banner").is_displayed(), 2, "the banner")
        assert "Serial line" in text("banner"), text("banner")
        sim = Standsim("5,6,7,8", os.path.join(root, "sim2.log"))
        children.append(sim.process)
        link(sim.line, com1)
        wait_for(lambda: not driver.find_element(By.ID, "banner").is_displayed(), 10, "the banner gone")
        wait_for(lambda: heights() == ["5", "6", "7", "8"], 10, "the new stands' heights")

        for size, name in (((1920, 1080), "showview-1920x1080.png"), ((390, 844), "showview-390x844.png")):
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": size[0] < 800})
            if SCREENSHOTS:
                os.makedirs(SCREENSHOTS, exist_ok=True)
                driver.save_screenshot(os.path.join(SCREENSHOTS, name))
        driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

        # Without the token the page only shows, and a Go sent by hand is refused.
        control_tab = driver.current_window_handle
        driver.switch_to.new_window("tab")
        driver.get(view_url)
        wait_for(lambda: text("mode") == "view only" and heights() == ["5", "6", "7", "8"], 10, "the page, view only")
        assert not driver.find_element(By.ID, "controls").is_displayed()
        assert driver.execute_async_script(FORGED_GO) == {"type": "result", "command": "go", "ok": False, "reason": "view only"}
        polls = sim.frames().count("Q1234")
        wait_for(lambda: sim.frames().count("Q1234") >= polls + 8, 5, "polls after the refused Go")
        assert " IN *1A" not in sim.frames()

        # A wrong token is refused and counted: after five, even the right one waits.
        driver.get(view_url + "?token=" + "0" * 32)
        wait_for(lambda: text("mode") == "wrong token — view only", 10, "the wrong token refused")
        assert [post_command(port, "f" * 32, '{"command":"go"}') for _ in range(4)] == [403] * 4
        assert post_command(port, token, '{"command":"go"}') == 429
        wait_for(lambda: post_command(port, token, '{"command":"go"}') == 200, 10, "the token heard again")
        wait_for(lambda: height_frame(1, 42) in sim.frames(), 5, "Go with the token in the header")
        with urllib.request.urlopen(view_url, timeout=10) as page:
            assert page.headers["Content-Security-Policy"].startswith("default-src 'none'")
        try:
            urllib.request.urlopen(view_url + "api/command?token=" + token, timeout=10)
            raise AssertionError("a plain GET was answered")
        except urllib.error.HTTPError as error:
            assert error.code == 405

        # A page from elsewhere may not open the socket, nor a name that is not this machine's.
        class Blank(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.end_headers()
                self.wfile.write(b"<!doctype html><title>elsewhere</title>")

            def log_message(self, *args):
                pass

        foreign = http.server.HTTPServer(("127.0.0.1", 0), Blank)
        threading.Thread(target=foreign.serve_forever, daemon=True).start()
        driver.get("http://127.0.0.1:%d/" % foreign.server_address[1])
        assert driver.execute_async_script(OPEN_FROM_HERE, "ws://127.0.0.1:%d/ws" % port).startswith("closed")
        status, s, _ = handshake(port, "http://rebound.example:%d" % port, "rebound.example:%d" % port)
        s.close()
        assert " 403 " in status, status

        # 32 clients at once while the stands move; a 33rd is refused, and one that stops
        # reading is dropped, which makes room again.
        driver.close()
        driver.switch_to.window(control_tab)
        assert driver.execute_async_script(OPEN_CLIENTS, 31) == 31
        assert driver.execute_async_script(ONE_MORE) == "closed: too many clients"
        driver.find_element(By.ID, "next").click()
        wait_for(lambda: heights() == ["55", "50", "52", "60"], 15, "the stands at Keynote Speaker's heights")
        assert min(driver.execute_script("return clients.map(c => c.updates)")) >= 3
        driver.execute_script("clients.pop().ws.close()")

        def idle_client():
            # Until the server has seen the closed one go, it may still be full.
            status, s, buffered = handshake(port, "http://127.0.0.1:%d" % port)
            assert " 101 " in status, status
            opcode, payload, buffered = read_frame(s, buffered)
            if opcode == 1 and b'"hello"' in payload:
                return s, buffered
            s.close()
            return None

        idle, buffered = wait_for(idle_client, 10, "a client in the closed one's place")
        wait_for(lambda: driver.execute_async_script(ONE_MORE) == "open", 20, "room after the idle client went")
        idle.settimeout(10)
        frames = []
        try:
            while True:
                opcode, payload, buffered = read_frame(idle, buffered)
                frames.append(opcode)
        except (EOFError, ConnectionResetError):
            pass
        assert 9 in frames, "the idle client was never pinged"
        assert driver.execute_script("return clients.filter(c => c.ws.readyState === 1).length") == 30

        # The settings go back into the configuration at the close.
        program.send_signal(signal.SIGTERM)
        program.wait(20)
        saved = open(ini).read()
        section = saved.split("[Show View]\n", 1)[1].split("[", 1)[0].splitlines()
        assert sorted(section) == ["Show View Enabled=1", "Show View Listen Address=127.0.0.1",
                                   "Show View Port=%d" % port], saved
        print("PASS")
    except BaseException:
        if driver:
            print("The page's banner: %r; mode: %r" % (driver.execute_script(
                "return [document.getElementById('banner').textContent, document.getElementById('mode').textContent]"), None))
        print("The program said:\n" + (said.get() if "said" in locals() else ""))
        print("The simulator's last frames:\n" + "\n".join(sim.frames().splitlines()[-8:]) if "sim" in locals() else "")
        raise
    finally:
        if driver:
            driver.quit()
        if foreign:
            foreign.shutdown()
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(10)
                except subprocess.TimeoutExpired:
                    child.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
