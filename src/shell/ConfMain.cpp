#include "shell/ConfMain.h"

#include "config/Setup.h"
#include "shell/HelpKey.h"
#include "stand/StandWidgets.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

using namespace StandLayout;

TConferenceForm::TConferenceForm(const Paths& paths)
    : QWidget(nullptr), data_(paths), port_(paths.DataFolder)
{
    FormCreate();
    createRunScreen();
    createDatabaseScreen();
    createShowControl();
    createShowView();
}

TConferenceForm::~TConferenceForm()
{
    // Before the controller goes: the dialog's end restarts its timer.
    delete setupScreen_;
    port_.StopComm();
}

void TConferenceForm::FormCreate()
{
    setObjectName(QStringLiteral("ConferenceForm"));
    setProperty("helpContext", 10);
    qApp->installEventFilter(new HelpKeyFilter([this](int context) { showHelpContext(context); }, this));
    setWindowTitle(QStringLiteral("Conference Stand Control"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(16);
    setFont(font);

    data_.load();
    const Configuration& config = data_.config;

    board_.SetStandsDisplayed(config.StandsDisplayed);
    controller_ = std::make_unique<StandController>(board_, port_);
    controller_->setScaleFactor(config.ScaleFactor);
    controller_->setComPortNumber(config.ComPortNumber);
    port_.Comms1.OnReceiveData = [this](const char* buffer, int length) { controller_->Comms1ReceiveData(buffer, length); };
    port_.Comms1.OnReceiveError = [this](const char*, int) { controller_->Comms1ReceiveError(); };
    connect(controller_.get(), &StandController::commsFailed, this, &TConferenceForm::showPortFailure);
    connect(controller_.get(), &StandController::diagnosticPanelsChanged, this, [this] {
        Panel1->setText(controller_->Panel1());
        Panel2->setText(controller_->Panel2());
        Panel3->setText(controller_->Panel3());
    });

    move(config.mainWindow.left, config.mainWindow.top);

    BasePanel = new QWidget(this);
    BasePanel->setObjectName(QStringLiteral("BasePanel"));
    createStandControls();
    createRightHandControls();

    connect(&board_, &StandBoard::standChanged, this, &TConferenceForm::showStand);
    connect(&board_, &StandBoard::layoutChanged, this, &TConferenceForm::LayoutControls);
    connect(&board_, &StandBoard::currentSpeakerChanged, CurrentSpeaker, &QLabel::setText);
    connect(&board_, &StandBoard::glassRaised, this, [this](int i) { stands_[static_cast<size_t>(i)].glass->raise(); });
    connect(&board_, &StandBoard::draggingChanged, this, [](bool dragging) {
        if (dragging)
            QApplication::setOverrideCursor(Qt::SizeVerCursor);
        else
            QApplication::restoreOverrideCursor();
    });

    ActualHeightLabel->setText(data_.Messages[12]);
    TargetHeightLabel->setText(data_.Messages[13]);
    CurrentSpeakerLabel->setText(data_.Messages[14]);

    board_.SetStandsDisplayed(config.StandsDisplayed);
    controller_->StartComms(true);
    prompterLink_.SetupPrompterLink();
    board_.SetStandHeights(true);
    board_.placeGlassesOnColumns();
    for (int i = 0; i < StandCount; ++i)
        showStand(i);

    controller_->QueryTime().start();
}

void TConferenceForm::createStandControls()
{
    for (int i = 0; i < StandCount; ++i) {
        StandControls& s = stands_[static_cast<size_t>(i)];
        const QString n = QString::number(i);
        s.column = new ShapeWidget(ShapeWidget::Kind::Rectangle, BasePanel);
        s.column->setObjectName("Stand" + n);
        s.position = new ShapeWidget(ShapeWidget::Kind::RoundSquare, BasePanel);
        s.position->setObjectName("Stand" + n + "Position");
        s.base = makePanel(BasePanel, "Stand" + n + "Base", 1);
        s.base->setText(QString::number(i + 1));
        s.data = makePanel(BasePanel, "Stand" + n + "Data", 2);
        s.level = makePanel(BasePanel, "Stand" + n + "Level", 2);
        s.nudge_up = new QToolButton(BasePanel);
        s.nudge_up->setObjectName("Nudge" + n + "UpBtn");
        s.nudge_up->setIcon(triangleGlyph(true));
        s.nudge_down = new QToolButton(BasePanel);
        s.nudge_down->setObjectName("Nudge" + n + "DownBtn");
        s.nudge_down->setIcon(triangleGlyph(false));
        for (QToolButton* b : {s.nudge_up, s.nudge_down}) {
            b->setIconSize(QSize(13, 12));
            b->setAutoRaise(false);
            b->setFocusPolicy(Qt::NoFocus);
        }
        connect(s.nudge_up, &QToolButton::clicked, this, [this, i] { controller_->nudgeUpBtnClick(i); });
        connect(s.nudge_down, &QToolButton::clicked, this, [this, i] { controller_->nudgeDownBtnClick(i); });

        // Created last so that it lies over the head square and gets the mouse.
        s.glass = new GlassWidget(BasePanel);
        s.glass->setObjectName("Stand" + n + "Glass");
        s.glass->onPress = [this, i](Qt::MouseButtons b, Qt::KeyboardModifiers m, bool dbl, int y) {
            board_.BeginGlassDrag(i, b, m, dbl, y);
        };
        s.glass->onMove = [this, i](int y) { board_.glassMouseMove(i, y); };
        s.glass->onRelease = [this] { board_.EndGlassDrag(); };
    }
}

void TConferenceForm::createRightHandControls()
{
    auto label = [this](const char* name) {
        auto* l = new QLabel(BasePanel);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    ActualHeightLabel = label("ActualHeightLabel");
    TargetHeightLabel = label("TargetHeightLabel");
    CurrentSpeakerLabel = label("CurrentSpeakerLabel");
    CurrentSpeakerLabel->setAlignment(Qt::AlignHCenter);

    CurrentSpeaker = makePanel(BasePanel, QStringLiteral("CurrentSpeaker"), 1);
    paintPanel(CurrentSpeaker, Qt::white, Qt::black);

    Panel1 = makePanel(BasePanel, QStringLiteral("Panel1"), 1);
    Panel2 = makePanel(BasePanel, QStringLiteral("Panel2"), 1);
    Panel3 = makePanel(BasePanel, QStringLiteral("Panel3"), 1);
    for (QLabel* hidden : {Panel1, Panel2, Panel3})
        hidden->hide();

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, BasePanel);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    RunOrderBtn = button("RunOrderBtn", QStringLiteral("Run Order"));
    DatabaseBtn = button("DatabaseBtn", QStringLiteral("Database"));
    TakeBtn = button("TakeBtn", QStringLiteral("Take"));
    HomeBtn = button("HomeBtn", QStringLiteral("Home"));
    AbortBtn = button("AbortBtn", QStringLiteral("Abort"));
    SetupBtn = button("SetupBtn", QStringLiteral("Setup"));
    HelpBtn = button("HelpBtn", QStringLiteral("Help"));
    AboutBtn = button("AboutBtn", QStringLiteral("About"));
    ExitBtn = button("ExitBtn", QStringLiteral("Close"));
    TakeBtn->setDefault(true);
    // Speed buttons: they never take the focus, so Enter never presses them.
    for (QPushButton* toggle : {RunOrderBtn, DatabaseBtn}) {
        toggle->setCheckable(true);
        toggle->setFocusPolicy(Qt::NoFocus);
    }

    connect(TakeBtn, &QPushButton::clicked, this, [this] { controller_->TakeBtnClick(); });
    connect(HomeBtn, &QPushButton::clicked, this, [this] { controller_->HomeBtnClick(); });
    connect(AbortBtn, &QPushButton::clicked, this, [this] { controller_->AbortBtnClick(); });
    connect(ExitBtn, &QPushButton::clicked, this, &TConferenceForm::ExitBtnClick);
    connect(AboutBtn, &QPushButton::clicked, this, &TConferenceForm::AboutBtnClick);
    connect(HelpBtn, &QPushButton::clicked, this, &TConferenceForm::HelpBtnClick);
    connect(SetupBtn, &QPushButton::clicked, this, &TConferenceForm::SetupBtnClick);
}

QColor TConferenceForm::colour(StandColour role) const
{
    if (const std::optional<quint32> rgb = standColourRgb(role))
        return QColor::fromRgb(*rgb);
    return palette().color(QPalette::Button);
}

void TConferenceForm::showStand(int i)
{
    StandControls& s = stands_[static_cast<size_t>(i)];
    const TStand& stand = board_.stand(i);
    const StandAppearance look = board_.appearance(i);
    const bool shown = board_.isDisplayed(i);

    s.glass->setGeometry(board_.glassRect(i));
    s.position->setGeometry(board_.positionRect(i));
    s.column->setGeometry(board_.columnRect(i));
    s.base->setGeometry(board_.baseRect(i));
    s.data->setGeometry(board_.dataRect(i));
    s.level->setGeometry(board_.levelRect(i));
    s.nudge_up->setGeometry(board_.nudgeUpRect(i));
    s.nudge_down->setGeometry(board_.nudgeDownRect(i));

    s.data->setText(stand.data);
    s.level->setText(stand.level);
    paintPanel(s.data, colour(look.panelBackground), colour(look.panelText));
    paintPanel(s.level, colour(look.panelBackground), colour(look.panelText));
    paintPanel(s.base, colour(look.baseBackground), colour(look.baseText));
    s.column->setFill(colour(look.columnFill));
    s.column->setOutline(colour(look.columnFill));
    s.position->setFill(colour(look.positionFill));
    s.position->setOutline(colour(look.positionOutline));
    s.glass->setOutline(colour(look.glassOutline), Qt::DotLine);

    for (QWidget* w : std::initializer_list<QWidget*>{s.position, s.column, s.base, s.level, s.data, s.nudge_up, s.nudge_down})
        w->setEnabled(look.enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{s.glass, s.position, s.column, s.base, s.level, s.data, s.nudge_up, s.nudge_down})
        w->setVisible(shown);
}

void TConferenceForm::LayoutControls()
{
    const RightHandLayout& l = board_.layout();
    for (int i = 0; i < StandCount; ++i)
        showStand(i);
    ActualHeightLabel->move(l.actualHeightLabel);
    ActualHeightLabel->adjustSize();
    TargetHeightLabel->move(l.targetHeightLabel);
    TargetHeightLabel->adjustSize();
    CurrentSpeaker->setGeometry(l.currentSpeaker);
    CurrentSpeakerLabel->adjustSize();
    CurrentSpeakerLabel->move(l.currentSpeakerLabel);
    Panel1->setGeometry(l.panel1);
    Panel2->setGeometry(l.panel2);
    Panel3->setGeometry(l.panel3);
    RunOrderBtn->setGeometry(l.runOrderButton);
    DatabaseBtn->setGeometry(l.databaseButton);
    TakeBtn->setGeometry(l.takeButton);
    HomeBtn->setGeometry(l.homeButton);
    AbortBtn->setGeometry(l.abortButton);
    SetupBtn->setGeometry(l.setupButton);
    HelpBtn->setGeometry(l.helpButton);
    AboutBtn->setGeometry(l.aboutButton);
    ExitBtn->setGeometry(l.exitButton);
    setFixedSize(l.clientWidth, ClientHeight);
    BasePanel->setGeometry(rect());
}

void TConferenceForm::showPortFailure(int portNumber, const QString& failure)
{
    QString text = data_.Messages[16] + u' ' + QString::number(portNumber);
    if (!failure.isEmpty())
        text += u'\n' + failure;
    MessageBoxes::showCritical(this, text);
}

void TConferenceForm::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the push button that has the focus, and Take only when none has it: an
    // operator who has just pressed Abort and then Enter aborts again rather than moving the stands.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        (focused && focused->isEnabled() ? focused : TakeBtn)->click();
    }
    else if (event->key() == Qt::Key_Escape)
        SetupBtn->click();
    else
        QWidget::keyPressEvent(event);
}

void TConferenceForm::ExitBtnClick()
{
    close();
}

