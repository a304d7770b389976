// The launcher's window, headless (QT_QPA_PLATFORM=offscreen): clicks and
// drops go through the window's native handle as a real pointer's would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QProgressBar>
#include <QRadioButton>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <QtTest/qtestkeyboard.h>
#include <QtTest/qtestmouse.h>
#include <chrono>
#include <csignal>
#include <thread>
#include <filesystem>

#include "Application.h"
#include "Messages.h"
#include "MyApp.h"
#include "MyView.h"
#include "Shell.h"
#include "Window.h"
#include "targets.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> ran;
int Record(const char* line)
{
    ran.push_back(line);
    return 0;
}

enum class Reaction { kNothing, kAbout, kQuit, kConvert };

// The launcher's application, counting the calls of Quit.
class TestApp : public MyApp {
public:
    void Quit() override
    {
        fQuits++;
        MyApp::Quit();
    }
    int fQuits = 0;
};

class LauncherWindow : public testing::Test {
protected:
    void SetUp() override
    {
        set_application_arguments({"Convert"});
        // Settings are kept in a folder of the test's own.
        fConfig = std::make_unique<testutil::ScopedEnv>("XDG_CONFIG_HOME", fConfigHome.path().string());
        picturePath = BIN_DIR "/conv.jpg";
        test1.clear();
        ran.clear();
        set_shell_system_hook(Record);
        set_shell_launch_hook(Launched);
        // The outputs land in the working directory: a scratch one.
        fHome = fs::current_path();
        fs::current_path(fWork.path());
        fApp = new TestApp();
        Settle();
    }
    void TearDown() override
    {
        delete fApp;
        fs::current_path(fHome);
        set_shell_system_hook(nullptr);
        set_shell_launch_hook(nullptr);
    }

    static int Launched(const char* program, const char* argument)
    {
        ran.push_back(std::string("launch ") + program + " " + argument);
        return 0;
    }
    static std::string Work() { return fs::current_path().string(); }

    // Delivers everything queued, the messages of the kit among it.
    static void Settle()
    {
        for (int i = 0; i < 3; i++) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    static QWidget* TopLevel()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Convert")
                return w;
        return nullptr;
    }
    static QWindow* Handle() { return TopLevel()->windowHandle(); }

    // A click at view coordinates; the window's border is one pixel.
    // Clicks a second apart, so that two are never a double click, which
    // DoubleClick makes of two presses 50 ms apart.
    static void Click(double x, double y, int after = 1000)
    {
        static int stamp = 0;
        stamp += after;
        QPointF local(x + 1, y + 1);
        QPointF global = Handle()->mapToGlobal(local);
        qt_handleMouseEvent(Handle(), local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress,
                            Qt::NoModifier, stamp);
        qt_handleMouseEvent(Handle(), local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease,
                            Qt::NoModifier, stamp);
        Settle();
    }
    static void DoubleClick(double x, double y)
    {
        Click(x, y);
        Click(x, y, 50);
    }

    // Drops the files (given by their paths' bytes, UTF-8 or not) or URLs.
    static void Drop(const std::vector<std::string>& paths, QPoint at = QPoint(300, 300))
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& p : paths) {
            QByteArray bytes(p.data(), static_cast<qsizetype>(p.size()));
            urls.push_back(p.rfind("/", 0) == 0 ? QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))
                                                : QUrl(QString::fromStdString(p)));
        }
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Handle(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Handle(), &drop);
        Settle();
    }

    // Closes the About box as soon as it shows, remembering what it said;
    // watches while the object lives.
    struct AboutWatcher {
        std::string title, text;
        std::vector<std::string> buttons;
        bool shown = false;
        QTimer timer;
        AboutWatcher()
        {
            timer.setInterval(0);
            QObject::connect(&timer, &QTimer::timeout, [this] {
                QMessageBox* box = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && qobject_cast<QMessageBox*>(w) != nullptr)
                        box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr)
                    return;
                shown = true;
                title = box->windowTitle().toStdString();
                text = box->text().toStdString();
                for (QAbstractButton* b : box->buttons())
                    buttons.push_back(b->text().toStdString());
                timer.stop();
                box->buttons().front()->click();
            });
            timer.start();
        }
    };

    // Answers the next message box by pressing the button of that text, or
    // the Escape key for "Escape", keeping a grab of it for the README at
    // SCREENSHOT_PATH with suffix (when one is given).
    struct AlertAnswer {
        bool shown = false;
        std::string text;
        std::vector<std::string> buttons;
        QTimer timer;
        bool hadCheckBox = false;
        AlertAnswer(const std::string& answer, const std::string& suffix = "", bool tick = false)
        {
            timer.setInterval(0);
            QObject::connect(&timer, &QTimer::timeout, [this, answer, suffix, tick] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* box = qobject_cast<QMessageBox*>(w);
                    if (box == nullptr || !box->isVisible())
                        continue;
                    shown = true;
                    timer.stop();
                    text = box->text().toStdString();
                    if (box->checkBox() != nullptr) {
                        hadCheckBox = true;
                        box->checkBox()->setChecked(tick);
                    }
                    for (QAbstractButton* b : box->buttons())
                        buttons.push_back(b->text().toStdString());
                    if (!suffix.empty()) {
                        std::string path = SCREENSHOT_PATH;
                        box->grab().save(QString::fromStdString(path.insert(path.size() - 4, "-" + suffix)));
                    }
                    if (answer == "Escape")
                        QTest::keyClick(box, Qt::Key_Escape);
                    if (answer == "Return")
                        QTest::keyClick(box, Qt::Key_Return);
                    if (answer == "R")
                        QTest::keyClick(box, Qt::Key_R);
                    for (QAbstractButton* b : box->buttons())
                        if (b->text().toStdString() == answer)
                            b->click();
                    // A box nobody expected is closed, so that the test
                    // fails instead of waiting.
                    if (box->isVisible())
                        box->done(-1);
                    return;
                }
            });
            timer.start();
        }
    };

    // What a click at (x, y) does.
    Reaction ClickAndSee(double x, double y)
    {
        AboutWatcher about;
        size_t commands = ran.size();
        int quits = fApp->fQuits;
        Click(x, y);
        if (about.shown)
            return Reaction::kAbout;
        if (fApp->fQuits > quits)
            return Reaction::kQuit;
        if (ran.size() > commands)
            return Reaction::kConvert;
        return Reaction::kNothing;
    }

    // A grab of the window for a person to look at, beside the screenshot.
    static void Grab(const std::string& suffix)
    {
        std::string path = SCREENSHOT_PATH;
        TopLevel()->grab().save(QString::fromStdString(path.insert(path.size() - 4, "-" + suffix)));
    }

    // The status line's whole text, which its tooltip repeats: the line
    // itself cuts a long one.
    static std::string StatusLine()
    {
        for (QWidget* w : TopLevel()->findChildren<QWidget*>("StatusLine"))
            if (!w->toolTip().isEmpty())
                return w->toolTip().toStdString();
        return TopLevel()->findChild<QLabel*>("StatusLine")->text().toStdString();
    }

    // Lets the loop run until the status line begins with prefix, for at
    // most ten seconds.
    static bool WaitForStatus(const std::string& prefix)
    {
        for (int i = 0; i < 1000 && StatusLine().rfind(prefix, 0) != 0; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Settle();
        }
        return StatusLine().rfind(prefix, 0) == 0;
    }

    TestApp* fApp = nullptr;
    testutil::TempDir fWork, fConfigHome;
    std::unique_ptr<testutil::ScopedEnv> fConfig;
    fs::path fHome;
};

struct ClickCase {
    double x, y;
    Reaction reaction;
};

TEST_F(LauncherWindow, SpotsWithInclusiveBoundsInTheirOrder)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "a.3ds", "x");
    Drop({dir / "a.3ds"});
    lstview1->Select(TargetIndex("zelm"));
    const ClickCase cases[] = {
        {468, 128, Reaction::kAbout},   {503, 161, Reaction::kAbout},   {503.9, 161.9, Reaction::kAbout},
        {467, 128, Reaction::kNothing}, {504, 140, Reaction::kNothing}, {480, 162, Reaction::kNothing},
        {114, 416, Reaction::kConvert}, {233, 446, Reaction::kConvert}, {233.99, 446.5, Reaction::kConvert},
        {113, 430, Reaction::kNothing}, {234, 430, Reaction::kNothing}, {0, 0, Reaction::kNothing},
        {427, 416, Reaction::kQuit},
    };
    for (const ClickCase& c : cases) {
        fs::remove("3ds");  // each conversion's output, so that no alert asks
        EXPECT_EQ(static_cast<int>(ClickAndSee(c.x, c.y)), static_cast<int>(c.reaction)) << c.x << "," << c.y;
    }
    // The last click the view itself took: the Quit button took the one
    // after it.
    EXPECT_EQ(h0, 0);
    EXPECT_EQ(v0, 0);
}

TEST_F(LauncherWindow, QuitSpotBoundsWithAndWithoutAFile)
{
    for (double x : {427.0, 550.0})
        for (double y : {416.0, 446.0}) {
            delete fApp;
            fApp = new TestApp();
            Settle();
            EXPECT_EQ(ClickAndSee(x, y), Reaction::kQuit) << x << "," << y;
        }
    delete fApp;
    fApp = new TestApp();
    Settle();
    EXPECT_EQ(ClickAndSee(426, 430), Reaction::kNothing);
    EXPECT_EQ(ClickAndSee(551, 430), Reaction::kNothing);
}

TEST_F(LauncherWindow, AboutBoxTexts)
{
    AboutWatcher seen;
    Click(480, 140);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "BALert");
    EXPECT_EQ(seen.text, "This Program Converts between \n Various Graphics and Sounds Format \n Drag the File to be "
                         "converted \nand select the format in the list box \n and then press convert\n Please "
                         "select valid formats example\n file.wav to file.au \nor\nfile.ico      to file.png ");
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"OK"});
}

TEST_F(LauncherWindow, ConvertNeedsAFileAndASelection)
{
    lstview1->Select(TargetIndex("c7e2txt"));
    Click(150, 430);
    EXPECT_TRUE(ran.empty());  // nothing dropped yet: the display reads Here
    EXPECT_STREQ(_stringview1->Text(), "Here");

    testutil::TempDir dir;
    testutil::WriteFile(dir / "m.c7e", "x");
    Drop({dir / "m.c7e"});
    lstview1->DeselectAll();
    Click(150, 430);
    EXPECT_TRUE(ran.empty());  // no target selected

    lstview1->Select(TargetIndex("c7e2txt"));
    Click(150, 430);
    // The second press finds the first one's output: the alert's default
    // keeps both.
    AlertAnswer alert("Return");
    Click(150, 430);
    EXPECT_TRUE(alert.shown);
    std::string want = std::string(kInstallDir) + "/c7e2txt.exe " + QuotePath(dir / "m.c7e") + " > m";
    EXPECT_EQ(ran, (std::vector<std::string>{want + ".txt", want + "_2.txt"}));
}

TEST_F(LauncherWindow, DropsTakeEveryFileAndKeepTheLinkItself)
{
    testutil::TempDir dir;
    for (const char* name : {"one.ico", "two.ico", "three.ico"})
        testutil::WriteFile(dir / name, "x");
    fs::create_symlink(dir / "one.ico", dir / "link.ico");
    fs::create_directory(dir / "sub");
    Drop({dir / "two.ico", dir / "one.ico", dir / "three.ico"});
    std::string real = fs::canonical(dir.path()).string();
    EXPECT_EQ(test1, real + "/two.ico");
    EXPECT_EQ(std::string(_stringview1->Text()), real + "/two.ico and 2 more");
    // A symbolic link shows its own path, its directory resolved.
    Drop({dir.path().string() + "/sub/../link.ico"});
    EXPECT_EQ(test1, real + "/link.ico");
    // A drop without "refs" changes nothing.
    BMessage empty(B_SIMPLE_DATA);
    _stringview1->Window()->PostMessage(&empty, _stringview1->Parent());
    Settle();
    EXPECT_EQ(test1, real + "/link.ico");
    // Other messages to the view are ignored.
    BMessage other(0x41424344);
    entry_ref ref(real, "one.ico");
    other.AddRef("refs", &ref);
    _stringview1->Window()->PostMessage(&other, _stringview1->Parent());
    Settle();
    EXPECT_EQ(test1, real + "/link.ico");
    // A drop onto the list reaches the main view too.
    Drop({dir / "three.ico"}, QPoint(280, 120));
    EXPECT_EQ(test1, real + "/three.ico");
}

TEST_F(LauncherWindow, LongAndSpecialPathsAreShownAsPlainText)
{
    testutil::TempDir dir;
    std::string name = "<b>bold & $(id) 'q' " + std::string(200, 'n') + ".wav";
    testutil::WriteFile(dir / name, "x");
    Drop({dir / name});
    std::string real = fs::canonical(dir.path()).string() + "/" + name;
    EXPECT_EQ(test1, real);
    QLabel* label = TopLevel()->findChild<QLabel*>("StringView1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // The end of the path shows, the whole path is the tooltip.
    std::string shown = label->text().toStdString();
    EXPECT_EQ(shown.rfind("\u2026", 0), 0u) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 8), "nnnn.wav");
    EXPECT_EQ(TopLevel()->findChild<QWidget*>("StringView1")->toolTip().toStdString(), real);
    lstview1->Select(TargetIndex("wav"));
    Click(120, 420);
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0], "sox " + QuotePath(real) + " output.wav");
}

TEST_F(LauncherWindow, WindowGeometryAndList)
{
    QWidget* top = TopLevel();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->geometry(), QRect(9, 9, 653, 521));
    EXPECT_TRUE(top->windowFlags() & Qt::FramelessWindowHint);
    QWidget* list = top->findChild<QWidget*>("list1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(QRect(list->mapTo(top, QPoint(0, 0)) - QPoint(1, 1), list->size()), QRect(250, 100, 71, 51));
    QWidget* display = top->findChild<QLabel*>("StringView1");
    EXPECT_EQ(QRect(display->mapTo(top, QPoint(0, 0)) - QPoint(1, 1), display->size()), QRect(41, 95, 194, 39));
    ASSERT_EQ(lstview1->CountItems(), kTargetCount);
    for (int i = 0; i < kTargetCount; i++)
        EXPECT_STREQ(static_cast<BStringItem*>(lstview1->ItemAt(i))->Text(), listitems[i].label);
    EXPECT_EQ(lstview1->ItemAt(kTargetCount), nullptr);
    EXPECT_EQ(lstview1->CurrentSelection(), -1);
}

// The grab shows the picture around the controls; it is written into the
// build folder for a person to look at.
TEST_F(LauncherWindow, ScreenshotShowsThePicture)
{
    QImage picture(BIN_DIR "/conv.jpg");
    ASSERT_FALSE(picture.isNull());
    QImage shot = TopLevel()->grab().toImage();
    shot.save(QString::fromStdString(std::string(SCREENSHOT_PATH)));
    ASSERT_EQ(shot.size(), QSize(653, 521));
    // Points of the picture outside every control, in view coordinates.
    for (QPoint p : {QPoint(5, 5), QPoint(240, 96), QPoint(400, 300), QPoint(100, 430), QPoint(600, 500),
                     QPoint(246, 154), QPoint(38, 92)})
        EXPECT_EQ(shot.pixel(p + QPoint(1, 1)), picture.pixel(p)) << p.x() << "," << p.y();
}

TEST_F(LauncherWindow, MissingPictureLeavesTheControlsWorking)
{
    delete fApp;
    picturePath = "/no/such/conv.jpg";
    fApp = new TestApp();
    Settle();
    EXPECT_STREQ(_stringview1->Text(), "Here");
    testutil::TempDir dir;
    testutil::WriteFile(dir / "a.au", "x");
    Drop({dir / "a.au"});
    lstview1->Select(TargetIndex("aiff"));
    EXPECT_EQ(ClickAndSee(200, 440), Reaction::kConvert);
    EXPECT_EQ(ClickAndSee(500, 440), Reaction::kQuit);
}

TEST_F(LauncherWindow, FileNamedOnTheCommandLine)
{
    delete fApp;
    testutil::TempDir dir;
    testutil::WriteFile(dir / "given.3ds", "x");
    testutil::WriteFile(dir / "second.3ds", "x");
    set_application_arguments({"Convert", dir / "given.3ds", dir / "second.3ds", dir / "missing"});
    fApp = new TestApp();
    Settle();
    EXPECT_EQ(test1, fs::canonical(dir.path()).string() + "/given.3ds");
    EXPECT_EQ(std::string(_stringview1->Text()), test1 + " and 1 more");
    EXPECT_EQ(StatusLine(), "File not found: " + dir / "missing");
}

// Drops that name no local file say so; a name that is not UTF-8 reaches
// the command line byte for byte.
TEST_F(LauncherWindow, DropsReportedAndKeptByteForByte)
{
    testutil::TempDir dir;
    std::string raw = dir / "caf\xe9 \xff.wav";
    testutil::WriteFile(raw, "x");
    Drop({raw});
    std::string real = fs::canonical(dir.path()).string() + "/caf\xe9 \xff.wav";
    EXPECT_EQ(test1, real);
    Drop({dir / "gone.wav"});
    EXPECT_EQ(StatusLine(), "File not found: " + fs::canonical(dir.path()).string() + "/gone.wav");
    Drop({"http://example.org/a.ico"});
    EXPECT_EQ(StatusLine(), "Not a local file: http://example.org/a.ico");
    EXPECT_EQ(test1, real);
    lstview1->Select(TargetIndex("wav"));
    Click(150, 430);
    ASSERT_EQ(ran.size(), 1u);
    EXPECT_EQ(ran[0], "sox " + QuotePath(real) + " output.wav");
    EXPECT_EQ(StatusLine(), "Done: " + Work() + "/output.wav \u2014 click to open its folder");
}

// A real command through the shell, with a stand-in sox on the search
// path: the window answers while it runs, and the status line tells how
// it ended; Quit ends a running one.
TEST_F(LauncherWindow, CommandRunsBesideTheWindow)
{
    set_shell_system_hook(nullptr);
    testutil::TempDir dir;
    testutil::WriteFile(dir / "a.au", "x");
    testutil::ScopedEnv path("PATH", dir.path().string());
    Drop({dir / "a.au"});
    lstview1->Select(TargetIndex("wav"));
    struct Case {
        std::string script;  // the stand-in sox; none when empty
        std::string status;
    } cases[] = {
        {"echo run >> " + dir / "log" + "; /bin/sleep 1",
         "Done: " + Work() + "/output.wav \u2014 click to open its folder"},
        {"echo 'sox FAIL formats: no handler' >&2; exit 2", "Failed with status 2: sox FAIL formats: no handler"},
        {"echo 'sox WARN formats: mixed down to mono' >&2",
         "Done, with a warning: sox WARN formats: mixed down to mono; output: " + Work() +
             "/output.wav \u2014 click to open its folder"},
        {"", "Not installed: sox (Debian package sox)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        fs::remove("output.wav");
        fs::remove(dir / "sox");
        if (!c.script.empty()) {
            testutil::WriteFile(dir / "sox", "#!/bin/sh\n" + c.script + "\n");
            fs::permissions(dir / "sox", fs::perms::owner_all);
        }
        Click(150, 430);
        // A quick failure may have ended already; the slow run has not.
        if (c.script.find("sleep") != std::string::npos) {
            EXPECT_EQ(StatusLine(), "Running sox on a.au...");
            Grab("running");
        }
        EXPECT_TRUE(WaitForStatus(c.status.substr(0, 4))) << StatusLine();
        EXPECT_EQ(StatusLine(), c.status);
        Grab(c.status.substr(0, c.status.find_first_of(" :")));
    }
    // About opens while a command runs, and the run goes on to its end.
    testutil::WriteFile(dir / "sox", "#!/bin/sh\necho run >> " + dir / "log" + "; /bin/sleep 1\n");
    fs::permissions(dir / "sox", fs::perms::owner_all);
    fs::remove(dir / "log");
    Click(150, 430);
    EXPECT_EQ(ClickAndSee(480, 140), Reaction::kAbout);
    EXPECT_TRUE(shell_running());
    EXPECT_TRUE(WaitForStatus("Done"));
    EXPECT_EQ(testutil::ReadFile(dir / "log"), "run\n");
    // Quit during a run ends the command at once, and the output it had
    // begun is removed, which standard output says.
    fs::remove("output.wav");
    testutil::WriteFile(dir / "sox", "#!/bin/sh\necho partial > \"$2\"\n/bin/sleep 30\n");
    Click(150, 430);
    ASSERT_TRUE(shell_running());
    for (int i = 0; i < 500 && !(fs::exists("output.wav") && fs::file_size("output.wav") > 0); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(fs::file_size("output.wav"), 0u);
    auto start = std::chrono::steady_clock::now();
    {
        // Quit asks first; Cancel, the default, leaves the run going.
        AlertAnswer cancel("Return");
        EXPECT_FALSE(fApp->QuitRequested());
        EXPECT_EQ(cancel.text, "A conversion is running. Stop it and quit?");
        EXPECT_TRUE(shell_running());
    }
    AlertAnswer stop("Stop and quit");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(fApp->QuitRequested());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Convert: removed the partial output " + Work() + "/output.wav\n");
    EXPECT_FALSE(shell_running());
    EXPECT_FALSE(fs::exists("output.wav"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// A target that writes a file of its own name in the working directory (W)
// never writes onto its input, and asks before replacing a file; the dump
// is kept in a file too. The line after "Done" offers the folder.
TEST_F(LauncherWindow, OutputFilesAreKeptAndShown)
{
    const std::string w = Work(), d = kInstallDir;
    const std::string clickable = " \u2014 click to open its folder";
    struct Case {
        const char* name;
        std::string existing;  // a file made in W first, or ""
        std::string drop;  // the file dropped, made in W
        const char* target;  // its label
        const char* answer;  // pressed in the alert; null: no alert may show
        std::string command;  // the command run, "" for none
        std::string status;
    } cases[] = {
        {"the output is the input", "", "output.wav", "wav", nullptr, "",
         "Not converted: the output " + w + "/output.wav is the input file"},
        {"replace", "output.au", "a.wav", "au", "Replace", "sox " + w + "/a.wav output.au",
         "Done: " + w + "/output.au" + clickable},
        {"keep both", "output.au", "a.wav", "au", "Keep both", "sox " + w + "/a.wav output_2.au",
         "Done: " + w + "/output_2.au" + clickable},
        {"cancel", "output.au", "a.wav", "au", "Cancel", "", "Not converted: " + w + "/output.au already exists"},
        {"escape cancels", "output.au", "a.wav", "au", "Escape", "",
         "Not converted: " + w + "/output.au already exists"},
        {"the dump goes into a file", "", "m.c7e", "c7e2txt", nullptr, d + "/c7e2txt.exe " + w + "/m.c7e > m.txt",
         "Done: " + w + "/m.txt" + clickable},
        {"an earlier dump is kept", "m.txt", "m.c7e", "c7e2txt", "Keep both",
         d + "/c7e2txt.exe " + w + "/m.c7e > m_2.txt", "Done: " + w + "/m_2.txt" + clickable},
        {"zelm's fixed name", "3ds", "s.3ds", "zelm", "Keep both", d + "/zelm.exe " + w + "/s.3ds 3ds_2",
         "Done: " + w + "/3ds_2" + clickable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& e : fs::directory_iterator(w))
            fs::remove(e.path());
        if (!c.existing.empty())
            testutil::WriteFile(c.existing, "earlier");
        testutil::WriteFile(c.drop, "x");
        Drop({w + "/" + c.drop});
        lstview1->Select(TargetIndex(c.target));
        ran.clear();
        AlertAnswer alert(c.answer != nullptr ? c.answer : "", c.answer != nullptr ? "replace-alert" : "");
        Click(150, 430);
        EXPECT_EQ(alert.shown, c.answer != nullptr);
        EXPECT_EQ(ran, c.command.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.command});
        EXPECT_EQ(StatusLine(), c.status);
        // Replace leaves the run's output (the stand-in writes nothing);
        // the other answers leave the earlier file.
        if (!c.existing.empty()) {
            EXPECT_EQ(testutil::ReadFile(c.existing), std::string(c.name) == "replace" ? "" : "earlier");
        }
    }
    // A click on the status line opens the last output's folder.
    ran.clear();
    Click(300, 487);
    EXPECT_EQ(ran, std::vector<std::string>{"launch xdg-open " + w});
}

// Runs through the shell with a stand-in sox never lose a file nor call a
// failure Done: the earlier output stays until the new one is whole, a
// link is replaced as a link, a file another conversion writes is never
// replaced, a failed run leaves nothing, and the status line tells all.
TEST_F(LauncherWindow, RunsNeverLoseAFile)
{
    set_shell_system_hook(nullptr);
    set_shell_launch_hook(nullptr);
    testutil::TempDir bin, elsewhere;
    testutil::ScopedEnv path("PATH", bin.path().string() + ":/usr/bin:/bin");
    const std::string w = Work(), out = w + "/output.wav", open = " \u2014 click to open its folder";
    const std::string full = "sox FAIL sox: 'output.wav' error writing output file: No space left on device";
    const std::string warn = "sox WARN rate: rate clipped 1234 samples; decrease volume?" + std::string(60, '!');
    enum class During { kNothing, kQuit, kTerminate, kHangUp };
    struct Case {
        const char* name;
        std::string sox;  // the stand-in's script; $2 is the output
        std::string earlier;  // "file" (output.wav holds "earlier"), "link", "dangling", "claimed" or ""
        const char* answer;  // pressed in the alert, or "" when none may show
        During during;
        std::string status;  // the status line's beginning
        std::string wav, wav2;  // what output.wav and output_2.wav hold after, "-" when absent
        std::string alert = "";  // a part of the alert's text
    } cases[] = {
        {"a full disk is a failure", "echo part > \"$2\"; echo \"" + full + "\" >&2", "", "", During::kNothing,
         "Failed: " + full, "-", "-"},
        {"Return keeps both", "echo new > \"$2\"", "file", "Return", During::kNothing,
         "Done: " + w + "/output_2.wav" + open, "earlier\n", "new\n", " already exists."},
        {"R replaces", "echo new > \"$2\"", "file", "R", During::kNothing, "Done: " + out + open, "new\n", "-"},
        {"Replace, then Quit", "echo part > \"$2\"; exec sleep 30", "file", "Replace", During::kQuit, "Running",
         "earlier\n", "-"},
        {"Replace, then SIGTERM", "echo part > \"$2\"; exec sleep 30", "file", "Replace", During::kTerminate, "Running",
         "earlier\n", "-"},
        {"Replace, then SIGHUP", "echo part > \"$2\"; exec sleep 30", "file", "Replace", During::kHangUp, "Running",
         "earlier\n", "-"},
        {"Replace, then failure", "echo part > \"$2\"; exit 2", "file", "Replace", During::kNothing,
         "Failed with status 2", "earlier\n", "-"},
        {"Replace acts on a link", "echo new > \"$2\"", "link", "Replace", During::kNothing, "Done: " + out + open,
         "new\n", "-", "it is a symbolic link to " + elsewhere / "target.wav"},
        {"Replace acts on a dangling link", "echo new > \"$2\"", "dangling", "Replace", During::kNothing,
         "Done: " + out + open, "new\n", "-", "symbolic link to " + elsewhere / "none.wav"},
        {"another conversion writes it", "echo new > \"$2\"", "claimed", "Keep both", During::kNothing,
         "Done: " + w + "/output_2.wav" + open, "", "new\n", " is being written by another conversion."},
        {"a failed run leaves no file", "echo oops >&2; exit 1", "", "", During::kNothing, "Failed with status 1", "-",
         "-"},
        {"every warning is kept", "echo new > \"$2\"; echo 'sox WARN first' >&2; echo '" + warn + "' >&2", "", "",
         During::kNothing, "Done, with a warning: " + warn + "; output: " + out + open, "new\n", "-"},
    };
    testutil::WriteFile(elsewhere / "target.wav", "kept");
    testutil::WriteFile("in.au", "x");
    Drop({w + "/in.au"});
    lstview1->Select(TargetIndex("wav"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* name : {"output.wav", "output_2.wav"})
            fs::remove(name);
        testutil::WriteFile(bin / "sox", "#!/bin/sh\n" + c.sox + "\n");
        fs::permissions(bin / "sox", fs::perms::owner_all);
        OutputClaim other;
        if (c.earlier == "file")
            testutil::WriteFile("output.wav", "earlier\n");
        else if (c.earlier == "link")
            fs::create_symlink(elsewhere / "target.wav", "output.wav");
        else if (c.earlier == "dangling")
            fs::create_symlink(elsewhere / "none.wav", "output.wav");
        else if (c.earlier == "claimed" && !other.Claim(out, false))
            FAIL() << "no claim";
        AlertAnswer alert(c.answer);
        Click(150, 430);
        EXPECT_EQ(alert.shown, *c.answer != '\0');
        EXPECT_NE(alert.text.find(c.alert), std::string::npos) << alert.text;
        if (c.earlier == "claimed") {
            EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Keep both", "Cancel"}));
        }
        if (c.during != During::kNothing) {
            for (int i = 0; i < 500 && !(fs::exists("output.wav") && fs::file_size("output.wav") > 0); i++)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_TRUE(shell_running());
            int quits = fApp->fQuits;
            // Quit asks before it stops the run; a signal does not.
            AlertAnswer confirm(c.during == During::kQuit ? "Stop and quit" : "");
            testing::internal::CaptureStdout();
            if (c.during == During::kQuit)
                fApp->QuitRequested();
            else
                raise(c.during == During::kTerminate ? SIGTERM : SIGHUP);
            for (int i = 0; i < 300 && shell_running(); i++) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                Settle();
            }
            EXPECT_EQ(testing::internal::GetCapturedStdout(),
                      "Convert: removed the partial output " + out + "\nConvert: put back the earlier " + out + "\n");
            EXPECT_EQ(fApp->fQuits, quits + (c.during != During::kQuit));
            EXPECT_EQ(confirm.shown, c.during == During::kQuit);
            EXPECT_EQ(StatusLine().substr(0, c.status.size()), c.status);
            delete fApp;
            fApp = new TestApp();
            Settle();
            Drop({w + "/in.au"});
            lstview1->Select(TargetIndex("wav"));
        } else {
            EXPECT_TRUE(WaitForStatus(c.status.substr(0, 4)));
            EXPECT_EQ(StatusLine().substr(0, c.status.size()), c.status);
        }
        EXPECT_EQ(fs::exists("output.wav") ? testutil::ReadFile("output.wav") : "-", c.wav);
        EXPECT_EQ(fs::exists("output_2.wav") ? testutil::ReadFile("output_2.wav") : "-", c.wav2);
        EXPECT_EQ(testutil::ReadFile(elsewhere / "target.wav"), "kept");
        EXPECT_FALSE(fs::exists(elsewhere / "none.wav"));
        // Nothing hidden is left beside the outputs.
        for (const auto& e : fs::directory_iterator(w))
            EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    }
    // The whole outcome: every warning in the tooltip; the shown lines keep
    // the place and the hint where the warning must be cut.
    EXPECT_NE(StatusLine().find("\nsox WARN first\n" + warn), std::string::npos) << StatusLine();
    std::string shown = TopLevel()->findChild<QLabel*>("StatusLine")->text().toStdString();
    EXPECT_NE(shown.find(open), std::string::npos) << shown;
    EXPECT_NE(shown.find("output.wav"), std::string::npos) << shown;
    // A file manager that fails, or none: the status line says so.
    for (const char* manager : {"exit 3", ""}) {
        fs::remove(bin / "xdg-open");
        if (*manager != '\0') {
            testutil::WriteFile(bin / "xdg-open", std::string("#!/bin/sh\n") + manager + "\n");
            fs::permissions(bin / "xdg-open", fs::perms::owner_all);
        }
        testutil::ScopedEnv only("PATH", bin.path().string());
        Drop({w + "/gone.wav"});  // another status line first
        Click(300, 490);
        EXPECT_TRUE(WaitForStatus("The folder could not be opened: " + w)) << manager;
        EXPECT_EQ(StatusLine(), "The folder could not be opened: " + w);
    }
    // A folder that takes no file.
    fs::current_path("/sys");
    Click(150, 430);
    EXPECT_EQ(StatusLine(), "Cannot write into /sys: Permission denied");
    fs::current_path(w);
}

// The keyboard: Return and keypad Enter convert, Alt+Q and Ctrl+Q quit,
// Escape closes the About box.
TEST_F(LauncherWindow, Keyboard)
{
    testutil::WriteFile("a.au", "x");
    Drop({Work() + "/a.au"});
    lstview1->Select(TargetIndex("wav"));
    QWidget* list = TopLevel()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        ran.clear();
        fs::remove("output.wav");
        QTest::keyClick(list, key);
        Settle();
        EXPECT_EQ(ran.size(), 1u) << key;
    }
    for (Qt::KeyboardModifier modifier : {Qt::AltModifier, Qt::ControlModifier}) {
        int quits = fApp->fQuits;
        QTest::keyClick(list, Qt::Key_Q, modifier);
        Settle();
        EXPECT_EQ(fApp->fQuits, quits + 1) << modifier;
    }
    AlertAnswer about("Escape");
    Click(480, 140);
    EXPECT_TRUE(about.shown);
}

// The loop ends on the Quit spot and on the window quit message.
TEST_F(LauncherWindow, RunReturnsAfterQuit)
{
    QTimer::singleShot(0, [] { Click(500, 430); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(fApp->Run(), 0);

    delete fApp;
    fApp = new TestApp();
    QTimer::singleShot(0, [] { _stringview1->Window()->PostMessage(kMsgWindowQuit); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(fApp->Run(), 0);
}

// Several files queue: each converts in turn with the chosen target, a
// file the target cannot read is counted as failed, "Do the same for the
// rest" answers the "already exists" alert for the files after, and one
// summary names each failure.
TEST_F(LauncherWindow, SeveralFilesQueue)
{
    const std::string w = Work();
    testutil::WriteFile("pic.ico", std::string("\0\0\1\0\1\0", 6));
    for (const char* name : {"one.au", "two.au", "three.au"})
        testutil::WriteFile(name, ".snd");
    Drop({w + "/one.au", w + "/pic.ico", w + "/two.au", w + "/three.au"});
    EXPECT_EQ(std::string(_stringview1->Text()), w + "/one.au and 3 more");
    lstview1->Select(TargetIndex("wav"));
    // The run writes nothing: the claim leaves an empty output.wav, which
    // the second sound then finds.
    AlertAnswer alert("Keep both", "", true);
    Click(150, 430);
    EXPECT_TRUE(alert.hadCheckBox);
    EXPECT_EQ(ran, (std::vector<std::string>{"sox " + w + "/one.au output.wav", "sox " + w + "/two.au output_2.wav",
                                             "sox " + w + "/three.au output_3.wav"}));
    EXPECT_EQ(StatusLine(), "3 converted, 1 failed \u2014 click to open the folder of the last output\n"
                            "pic.ico: not converted: wav reads a sound; pic.ico is an icon or a program with icons");
    // A target that reads none of the files is greyed and says why.
    EXPECT_TRUE(lstview1->ItemAt(TargetIndex("icotopng"))->IsEnabled());
    EXPECT_FALSE(lstview1->ItemAt(TargetIndex("zelm"))->IsEnabled());
    lstview1->Select(TargetIndex("zelm"));
    Settle();
    EXPECT_EQ(StatusLine(), "Not for this file: zelm reads a 3DS scene; one.au is a sound");
}

// Progress and Stop with a stand-in sox that reports half its input read
// and waits: the bar shows it, Convert reads Stop, Stop (and Escape) end
// the run and the queue and leave the folder as it was; then the real sox
// makes FLAC, whose progress report stays out of the status line.
TEST_F(LauncherWindow, ProgressAndStop)
{
    set_shell_system_hook(nullptr);
    testutil::TempDir bin;
    const std::string w = Work();
    testutil::WriteFile(bin / "sox", "#!/bin/sh\necho \"$SOX_OPTS $*\" >> " + bin / "log" +
                                         "\nprintf 'In:50.0%% 00:00:01.00\\r' >&2\nexec sleep 30\n");
    fs::permissions(bin / "sox", fs::perms::owner_all);
    testutil::WriteFile("a.au", "x");
    testutil::WriteFile("b.au", "x");
    Drop({w + "/a.au", w + "/b.au"});
    lstview1->Select(TargetIndex("wav"));
    auto* button = TopLevel()->findChild<QPushButton*>("Convert");
    auto* bar = TopLevel()->findChild<QProgressBar*>("Progress");
    ASSERT_NE(button, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    for (const char* how : {"button", "Escape"}) {
        SCOPED_TRACE(how);
        testutil::ScopedEnv path("PATH", bin.path().string() + ":/usr/bin:/bin");
        // A double click on Convert starts the run and does not stop it.
        DoubleClick(150, 430);
        EXPECT_EQ(StatusLine(), "1 of 2: a.au");
        for (int i = 0; i < 300 && bar->value() != 500; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Settle();
        }
        EXPECT_EQ(bar->value(), 500);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(button->text().toStdString(), "Stop");
        if (std::string(how) == "button") {
            Grab("queue");
            Click(150, 430);
        } else {
            QTest::keyClick(TopLevel()->findChild<QListWidget*>(), Qt::Key_Escape);
            Settle();
        }
        EXPECT_EQ(StatusLine(), "Stopped");
        EXPECT_FALSE(shell_running());
        EXPECT_FALSE(bar->isVisible());
        EXPECT_EQ(button->text().toStdString(), "Convert");
        EXPECT_FALSE(fs::exists("output.wav"));
    }
    // The second file of the queue never started; sox was asked for its
    // progress report by its settings' variable, the line unchanged.
    EXPECT_EQ(testutil::ReadFile(bin / "log"), "-S " + w + "/a.au output.wav\n-S " + w + "/a.au output.wav\n");
    if (system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox is not installed";
    ASSERT_EQ(system("sox -n -r 8000 -c 1 tone.wav synth 1 sine 440 2>/dev/null"), 0);
    Drop({w + "/tone.wav"});
    lstview1->Select(TargetIndex("flac"));
    Click(150, 430);
    EXPECT_TRUE(WaitForStatus("Done"));
    EXPECT_EQ(StatusLine(), "Done: " + w + "/output.flac \u2014 click to open its folder");
    EXPECT_GT(fs::file_size("output.flac"), 0u);
}

// Where outputs go, and the last target, are kept between runs; beside the
// input the output takes its name, and one of the input's own type the
// next free one.
TEST_F(LauncherWindow, OutputPlacesAreKept)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir / "song.wav", "x");
    auto radio = [](const char* name) { return TopLevel()->findChild<QRadioButton*>(name); };
    ASSERT_NE(radio("InStartFolder"), nullptr);
    EXPECT_TRUE(radio("InStartFolder")->isChecked());
    EXPECT_EQ(radio("InStartFolder")->text().toStdString(), "In the folder Convert was started in, as output.TYPE");
    radio("BesideInput")->click();
    Settle();
    EXPECT_FALSE(radio("InStartFolder")->isChecked());
    lstview1->Select(TargetIndex("flac"));
    Settle();
    delete fApp;
    fApp = new TestApp();
    Settle();
    EXPECT_TRUE(radio("BesideInput")->isChecked());
    EXPECT_EQ(lstview1->CurrentSelection(), TargetIndex("flac"));
    const std::string real = fs::canonical(dir.path()).string();
    Drop({dir / "song.wav"});
    struct Case {
        const char* target;
        std::string command, status;
    } cases[] = {
        {"flac", "sox " + real + "/song.wav song.flac", "Done: " + real + "/song.flac"},
        {"wav", "sox " + real + "/song.wav song_2.wav", "Done: " + real + "/song_2.wav"},
    };
    for (const Case& c : cases) {
        ran.clear();
        lstview1->Select(TargetIndex(c.target));
        Click(150, 430);
        EXPECT_EQ(ran, std::vector<std::string>{c.command});
        EXPECT_EQ(StatusLine(), c.status + " \u2014 click to open its folder");
    }
    radio("InStartFolder")->click();
    Settle();
    EXPECT_EQ(testutil::ReadFile(fConfigHome / "converter/settings"), "outputs=start\ntarget=wav\n");
}

// Real buttons with names for screen readers, in the Tab order list,
// Convert, Quit, About; Ctrl+O chooses files, F1 opens About; the two
// boxes keep dark text under a dark palette.
TEST_F(LauncherWindow, ButtonsKeysAndPalette)
{
    QWidget* top = TopLevel();
    auto* convert = top->findChild<QPushButton*>("Convert");
    auto* quit = top->findChild<QPushButton*>("Quit");
    auto* about = top->findChild<QPushButton*>("About");
    ASSERT_TRUE(convert != nullptr && quit != nullptr && about != nullptr);
    EXPECT_EQ(about->accessibleName().toStdString(), "About");
    EXPECT_FALSE(convert->isEnabled());  // no file yet
    auto* list = top->findChild<QListWidget*>();
    EXPECT_EQ(list->accessibleName().toStdString(), "Target");
    EXPECT_EQ(top->findChild<QLabel*>("StringView1")->accessibleName().toStdString(), "File");
    EXPECT_EQ(top->findChild<QLabel*>("StatusLine")->accessibleName().toStdString(), "What happened");
    testutil::WriteFile("a.au", "x");
    Drop({Work() + "/a.au"});
    EXPECT_TRUE(convert->isEnabled());
    list->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 3; i++) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget() != nullptr ? QApplication::focusWidget()->objectName().toStdString()
                                                               : "");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Convert", "Quit", "About"}));
    // Return on a button presses it, not Convert.
    const int quits = fApp->fQuits;
    ran.clear();
    QTest::keyClick(quit, Qt::Key_Return);
    Settle();
    EXPECT_EQ(fApp->fQuits, quits + 1);
    EXPECT_TRUE(ran.empty());
    {
        AlertAnswer answer("OK");
        QTest::keyClick(list, Qt::Key_F1);
        Settle();
        EXPECT_TRUE(answer.shown);
    }
    testutil::WriteFile("chosen.au", "x");
    // The window is active again once the box has gone.
    top->activateWindow();
    Settle();
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
    Settle();
    QFileDialog* panel = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QFileDialog*>(w) != nullptr)
            panel = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(panel, nullptr);
    // The panel's choice of two files, as its Open button gives it.
    emit panel->filesSelected(
        {QString::fromStdString(Work() + "/chosen.au"), QString::fromStdString(Work() + "/a.au")});
    panel->hide();
    Settle();
    EXPECT_EQ(test1, Work() + "/chosen.au");
    EXPECT_EQ(std::string(_stringview1->Text()), Work() + "/chosen.au and 1 more");

    QPalette dark;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(0x20, 0x20, 0x20));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(0xF0, 0xF0, 0xF0));
    const QPalette saved = QApplication::palette();
    QApplication::setPalette(dark);
    delete fApp;
    fApp = new TestApp();
    Settle();
    Drop({Work() + "/a.au"});
    lstview1->Select(TargetIndex("wav"));
    Click(150, 430);
    for (const char* box : {"StringView1", "StatusLine"})
        EXPECT_LT(TopLevel()->findChild<QLabel*>(box)->palette().color(QPalette::WindowText).lightness(), 60) << box;
    Grab("dark");
    QApplication::setPalette(saved);
}

// A command's progress is how far its processes have read the input, and
// it runs in the folder it is given.
TEST_F(LauncherWindow, ShellProgressFromTheInputRead)
{
    struct Seen : BHandler {
        std::vector<int32> progress;
        bool done = false;
        void MessageReceived(BMessage* message) override
        {
            int32 value;
            if (message->what == kMsgProgress && message->FindInt32("progress", &value) == B_OK)
                progress.push_back(value);
            done = done || message->what == kMsgCommandDone;
        }
    } seen;
    set_shell_system_hook(nullptr);
    fs::create_directory("sub");
    testutil::WriteFile("sub/in.bin", std::string(2000, 'x'));
    ShellOptions options;
    options.directory = Work() + "/sub";
    options.progressWhat = kMsgProgress;
    options.input = Work() + "/sub/in.bin";
    ASSERT_EQ(shell_start("pwd > here; exec 3< in.bin; dd bs=1000 count=1 <&3 >/dev/null 2>&1; sleep 1", fApp, &seen,
                          kMsgCommandDone, options),
              B_OK);
    for (int i = 0; i < 500 && !seen.done; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Settle();
    }
    EXPECT_TRUE(seen.done);
    EXPECT_NE(std::find(seen.progress.begin(), seen.progress.end(), 500), seen.progress.end());
    EXPECT_EQ(testutil::ReadFile("sub/here"), Work() + "/sub\n");
}

}  // namespace
