// The show view: how soon a stand's new height goes from its reply on the wire to the page's
// DOM, how soon Go on the page puts the first frame on the wire, and what 32 clients cost the
// real program while eight stands move on a line paced at 9600 baud. The page runs in Debian's
// chromium, headless, driven over its DevTools protocol.
#include "BenchSupport.h"
#include "stand/StandFrames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebSocket>

#include <map>
#include <unistd.h>

namespace {

constexpr int ViewPort = 39040;
constexpr int Clients = 32;
constexpr double LineLimit = 23.3;  // polls a second that 9600 baud allows

// One page of a headless chromium, reached over the DevTools protocol.
class Devtools {
public:
    bool open(const QString& browserUrl)
    {
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains("id"))
                answers_[message.value("id").toInt()] = message;
        });
        socket_.open(QUrl(browserUrl));
        if (!processEventsUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10000))
            return false;
        for (const QJsonValue& target : call("Target.getTargets").value("targetInfos").toArray())
            if (target.toObject().value("type").toString() == u"page")
                session_ = call("Target.attachToTarget", {{"targetId", target.toObject().value("targetId")}, {"flatten", true}})
                               .value("sessionId")
                               .toString();
        return !session_.isEmpty();
    }
    QJsonObject call(const QString& method, const QJsonObject& params = {})
    {
        const int id = ++lastId_;
        QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
        if (!session_.isEmpty())
            message.insert("sessionId", session_);
        socket_.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
        processEventsUntil([&] { return answers_.count(id) > 0; }, 10000);
        const QJsonObject answer = answers_[id].value("result").toObject();
        answers_.erase(id);
        return answer;
    }
    QJsonValue evaluate(const QString& expression)
    {
        return call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}})
            .value("result")
            .toObject()
            .value("value");
    }

private:
    QWebSocket socket_;
    std::map<int, QJsonObject> answers_;
    int lastId_ = 0;
    QString session_;
};

double wallNowMs()
{
    return double(QDateTime::currentMSecsSinceEpoch());
}

// CPU time of process `pid` so far, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

struct Reply {
    qint64 at;
    int stand;
    int height;
};

// The replies the simulator sent, when each began to leave it.
std::vector<Reply> repliesSent(const StandsimRun& sim)
{
    static const QRegularExpression out(R"(^(.{23}) OUT :(\d)A([0-9A-F]{4}))");
    std::vector<Reply> replies;
    for (const QByteArray& line : sim.frames().split('\n')) {
        const QRegularExpressionMatch m = out.match(QString::fromLatin1(line));
        if (m.hasMatch())
            replies.push_back({QDateTime::fromString(m.captured(1), "yyyy-MM-dd HH:mm:ss.zzz").toMSecsSinceEpoch(),
                               m.captured(2).toInt(), StandFrames::decodeHeight(m.captured(3), 94)});
    }
    return replies;
}

// In the page: 31 more WebSockets beside its own, each counting the updates it is sent.
const char* OpenClients = R"(new Promise((done) => {
  window.clients = [];
  let open = 0;
  for (let i = 0; i < %1; ++i) {
    const c = {ws: new WebSocket("ws://" + location.host + "/ws"), updates: []};
    c.ws.onopen = () => { if (++open === %1) done(open); };
    c.ws.onmessage = (e) => { if (JSON.parse(e.data).type === "state") c.updates.push(Date.now()); };
    clients.push(c);
  }
  setTimeout(() => done(open), 10000);
}))";

// Every change of a stand's actual height in the DOM, with the wall-clock time it was made.
const char* WatchHeights = R"((() => {
  window.heights = [];
  document.querySelectorAll(".tile").forEach((tile, i) => {
    const actual = tile.querySelector(".actual");
    new MutationObserver(() => heights.push([i + 1, actual.textContent, performance.timeOrigin + performance.now()]))
      .observe(actual, {childList: true});
  });
  return true;
})())";

const char* PressGo = R"((() => {
  const t = performance.timeOrigin + performance.now();
  document.getElementById("go").click();
  return t;
})())";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    const QString root = scratch.path();
    StandsimRun sim;
    if (!sim.start(EightStandsAt9600 + StartHeights, scratch.filePath("sim.log"))) {
        std::printf("the simulator did not start\n");
        return 1;
    }
    const QString data = makeDataFolder(root, sim.line, {"elevra.msg", "DBase0.db"});
    QFile ini(data + "elevra.ini");
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    // Panel Host and Guest Reader: every stand moves between them.
    ini.write(QStringLiteral("[Show View]\nShow View Enabled=1\nShow View Port=%1\n[Run Order]\nR0=2\nR1=3\n").arg(ViewPort).toUtf8());
    ini.close();
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());

    QProcess program;
    if (!startProgram(program, root)) {
        std::printf("the program did not start\n");
        return 1;
    }
    QByteArray said;
    QObject::connect(&program, &QProcess::readyReadStandardError, [&] { said += program.readAllStandardError(); });
    static const QRegularExpression controlLine(R"(Show view control: (\S+))");
    if (!processEventsUntil([&] { return controlLine.match(QString::fromUtf8(said)).hasMatch(); }, 20000)) {
        std::printf("the program did not print its control address\n");
        return 1;
    }
    const QString controlUrl = controlLine.match(QString::fromUtf8(said)).captured(1);

    QProcess chromium;
    QByteArray browserSaid;
    QObject::connect(&chromium, &QProcess::readyReadStandardError, [&] { browserSaid += chromium.readAllStandardError(); });
    chromium.start("chromium", {"--headless=new", "--no-sandbox", "--disable-gpu", "--remote-debugging-port=0",
                                "--user-data-dir=" + root + "/chromium", "--window-size=1920,1080", controlUrl});
    static const QRegularExpression devtoolsLine(R"(DevTools listening on (ws://\S+))");
    Devtools page;
    if (!processEventsUntil([&] { return devtoolsLine.match(QString::fromUtf8(browserSaid)).hasMatch(); }, 20000)
        || !page.open(devtoolsLine.match(QString::fromUtf8(browserSaid)).captured(1))) {
        std::printf("chromium did not start\n");
        return 1;
    }
    if (!processEventsUntil([&] {
            return page.evaluate("document.getElementById('mode').textContent === 'control' && "
                                 "[...document.querySelectorAll('.tile')].every(t => !t.classList.contains('off'))")
                .toBool();
        }, 20000)) {
        std::printf("the page did not show the stands\n");
        return 1;
    }
    // Eight stands moving between two speakers, Next and Previous every 3 s.
    const qint64 pid = program.processId();
    struct Moving {
        double seconds;
        double cpu;
        double pollsBetweenTakes;
        double pollsInAll;
    };
    const auto move = [&](int steps) {
        const double cpuBefore = cpuSeconds(pid);
        const double wallBefore = wallNowMs();
        const qsizetype pollsAtStart = pollsLogged(sim);
        qsizetype pollsBetweenTakes = 0;
        for (int step = 0; step < steps; ++step) {
            page.evaluate(step % 2 == 0 ? "document.getElementById('next').click()"
                                        : "document.getElementById('previous').click()");
            // A take's cycle sends no poll and polling waits for the next tick: that part is left out.
            processEventsFor(600);
            const qsizetype polls = pollsLogged(sim);
            processEventsFor(2400);
            pollsBetweenTakes += pollsLogged(sim) - polls;
        }
        const double seconds = (wallNowMs() - wallBefore) / 1000.0;
        return Moving{seconds, cpuSeconds(pid) - cpuBefore, double(pollsBetweenTakes) / (2.4 * steps),
                      double(pollsLogged(sim) - pollsAtStart) / seconds};
    };
    const auto print = [](const char* what, const Moving& m) {
        std::printf("%s, %.1f s:\n  program CPU %.2f %% of a core (target < 5 %%); polls per second between takes %.2f = "
                    "%.1f %% of the line's %.1f (target >= 97 %%), %.2f with the takes\n",
                    what, m.seconds, 100.0 * m.cpu / m.seconds, m.pollsBetweenTakes, 100.0 * m.pollsBetweenTakes / LineLimit,
                    LineLimit, m.pollsInAll);
    };
    print("The page alone, eight stands moving, Next and Previous every 3 s", move(4));

    const int opened = page.evaluate(QString::fromLatin1(OpenClients).arg(Clients - 1)).toInt();
    std::printf("\n%d clients connected (the page and %d more sockets in it)\n\n", opened + 1, opened);

    // Go on the page to the first height frame on the wire, the stands standing.
    std::mt19937 random(11);
    std::vector<double> goToFrame;
    int unanswered = 0;
    for (int i = 0; i < 100; ++i) {
        processEventsFor(nextTakeAfterMs(random));
        const double pressed = page.evaluate(PressGo).toDouble();
        processEventsFor(300);
        const std::vector<qint64> frames = framesReceived(sim, "*1A");
        const auto first = std::find_if(frames.begin(), frames.end(), [&](qint64 t) { return double(t) >= pressed - 1; });
        if (first == frames.end())
            ++unanswered;
        else
            goToFrame.push_back(std::max(0.0, double(*first) - pressed));
    }
    report("Go on the page to the first \"A\" frame logged at 9600 baud", goToFrame,
           "\n  (the simulator logs a frame when its last byte is in, 11.5 ms after its first; 1 ms clock; target p99 <= 60 ms)");
    if (unanswered > 0)
        std::printf("  %d presses were followed by no \"A\" frame within 300 ms\n", unanswered);

    page.evaluate(WatchHeights);
    page.evaluate("clients.forEach(c => c.updates = [])");
    const Moving busy = move(10);
    std::printf("\n");
    print("32 clients, eight stands moving, Next and Previous every 3 s", busy);

    const std::vector<Reply> replies = repliesSent(sim);
    std::vector<double> replyToDom;
    for (const QJsonValue& change : page.evaluate("heights").toArray()) {
        const QJsonArray c = change.toArray();
        bool number = false;
        const int stand = c.at(0).toInt();
        const int height = c.at(1).toString().toInt(&number);
        const double at = c.at(2).toDouble();
        if (!number)
            continue;
        // The latest reply of that stand with that height before the change.
        const Reply* sent = nullptr;
        for (const Reply& r : replies)
            if (r.stand == stand && r.height == height && double(r.at) <= at + 1 && double(r.at) > at - 2000)
                sent = &r;
        if (sent)
            replyToDom.push_back(std::max(0.0, at - double(sent->at)));
    }
    report("  a stand's reply leaving the simulator to its new height in the page's DOM", replyToDom,
           "\n  (from the first byte of the reply, whose 11 bytes take 11.5 ms at 9600 baud, and the reader's 20 ms of"
           " silence after it; 1 ms clock; target p99 <= 100 ms)");
    const QJsonArray perClient = page.evaluate(
        "clients.map(c => { const t = c.updates; "
        "let most = 0; for (let i = 0; i < t.length; ++i) { let j = i; while (j < t.length && t[j] - t[i] < 1000) ++j; most = Math.max(most, j - i); } "
        "return [t.length, most]; })").toArray();
    std::vector<double> updatesPerSecond;
    double mostInOneSecond = 0;
    for (const QJsonValue& c : perClient) {
        updatesPerSecond.push_back(c.toArray().at(0).toDouble() / busy.seconds);
        mostInOneSecond = std::max(mostInOneSecond, c.toArray().at(1).toDouble());
    }
    if (!updatesPerSecond.empty())
        std::printf("  updates to each of the %zu sockets: median %.1f a second; most in any one second %.0f (limit 20)\n",
                    updatesPerSecond.size(), percentile(updatesPerSecond, 0.5), mostInOneSecond);

    chromium.terminate();
    chromium.waitForFinished(10000);
    stopProgram(program);
    return 0;
}
