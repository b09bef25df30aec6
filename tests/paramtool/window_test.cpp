#include "StandardSet.h"
#include "paramtool/Main.h"
#include "tests/devsim/DevSim.h"
#include "tools/devsim/Device.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimeEdit>
#include <fstream>

using namespace moxparam;

namespace {

struct TMessage {
    QString text, caption;
    TMain::TIcon icon;
};

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray AsBytes(const TParamSet& p) { return QByteArray(reinterpret_cast<const char*>(p.data()), Size); }

}  // namespace

class MoxIniWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "window_test";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        window = std::make_unique<TMain>();
        window->ShowMessage = [this](const QString& text, const QString& caption, TMain::TIcon icon) {
            messages.push_back({text, caption, icon});
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor behind: " << text.toStdString();
        };
        // The simulator needs no pauses between bytes; the window's state is looked at instead.
        window->Protocol().Wait = [this](int) {
            sawBusyCursor = sawBusyCursor || (QApplication::overrideCursor() &&
                                              QApplication::overrideCursor()->shape() == Qt::WaitCursor);
            maxGauge = std::max(maxGauge, Gauge()->value());
        };
        window->show();
    }

    template <class T>
    T* Child(const char* name)
    {
        return window->findChild<T*>(name);
    }
    QProgressBar* Gauge() { return Child<QProgressBar>("COM_ProgressBar"); }
    QPushButton* Button(const char* name) { return Child<QPushButton>(name); }

    // The state every device operation must end in.
    void ExpectIdle()
    {
        EXPECT_EQ(Gauge()->value(), 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(window->ComPort().Connected());
    }

    std::unique_ptr<TMain> window;
    std::vector<TMessage> messages;
    bool sawBusyCursor = false;
    int maxGauge = 0;
    QTemporaryDir dir;
};

TEST_F(MoxIniWindow, OpensWithTheStandardSetAndItsTexts)
{
    EXPECT_EQ(window->windowTitle(), "MOX_Ini V1.4 (04/2003)");
    EXPECT_EQ(AsBytes(window->Buffer()), AsBytes(StandardSet));
    EXPECT_TRUE(Child<QSpinBox>("Reset_Time_Edit")->isEnabled());
    EXPECT_EQ(Child<QComboBox>("rs232_mode_ComboBox")->currentText(), "Relativwert");
    EXPECT_EQ(Child<QComboBox>("Sensor1_ComboBox")->currentText(), "Y");
    EXPECT_EQ(Child<QLineEdit>("K8_Edit")->text(), "600");
    EXPECT_EQ(Child<QComboBox>("ComComboBox")->currentText(), "COM1");
    EXPECT_EQ(Button("Senden_Button")->text(), "  Parameter Senden   ");
    EXPECT_EQ(Button("Date_Button")->text(), "Datum  senden ");
    EXPECT_EQ(Button("Quit_Button")->toolTip(), "Programmende");
    EXPECT_EQ(Child<QCheckBox>("dayly_reset_CheckBox")->text(), "täglicher Reset um                 Uhr");
    EXPECT_EQ(Child<QWidget>("data_interval_Edit")->statusTip(), "Abstand zwischen zwei Datenpaketen auf der RS-232 ");
    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&Datei", "&Hilfe"}));
}

TEST_F(MoxIniWindow, SaveThenLoadGivesTheSameBytesAndFields)
{
    Child<QLineEdit>("Offset1_Edit")->setText("-70001");
    Child<QComboBox>("Sensor1_ComboBox")->setCurrentIndex(2);
    Child<QCheckBox>("dual_sensor_CheckBox")->setChecked(true);
    Child<QSpinBox>("Intervall_Analog1_Edit")->setValue(1990);
    const QString name = dir.filePath("set.moi");
    window->SaveFile(name);
    const TParamSet saved = window->Buffer();
    const TParamFields fields = window->Fields();
    EXPECT_EQ(ReadFile(name), AsBytes(saved));
    EXPECT_EQ(Get32(saved, offset1), -70001);

    Button("Default_Button")->click();
    EXPECT_EQ(AsBytes(window->Buffer()), AsBytes(StandardSet));
    window->LoadFile(name);
    EXPECT_EQ(AsBytes(window->Buffer()), AsBytes(saved));
    EXPECT_EQ(window->Fields(), fields);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MoxIniWindow, AShortFileIsReportedAndChangesOnlyItsBytes)
{
    const QString name = dir.filePath("short.moi");
    WriteFile(name, QByteArray(10, '\x02'));
    window->LoadFile(name);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Fehler beim Laden des Parametersatzes!");
    EXPECT_EQ(messages[0].caption, "Fehler!");
    EXPECT_EQ(messages[0].icon, TMain::TIcon::Error);
    const TParamSet b = window->Buffer();
    for (int i = 0; i < Size; ++i) EXPECT_EQ(b[i], i < 10 ? 0x02 : StandardSet[i]) << i;
    // Byte 0 = 2 is no daily reset.
    EXPECT_FALSE(Child<QCheckBox>("dayly_reset_CheckBox")->isChecked());
    EXPECT_FALSE(Child<QSpinBox>("Reset_Time_Edit")->isEnabled());

    messages.clear();
    window->LoadFile(dir.filePath("missing.moi"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("missing.moi"));
    // The system's words stand inside a German sentence that says what failed.
    EXPECT_TRUE(messages[0].text.startsWith("Der Parametersatz wurde nicht geladen: "))
        << messages[0].text.toStdString();
    EXPECT_EQ(window->Buffer(), b);

    messages.clear();
    window->SaveFile(dir.filePath("no-such-folder/set.moi"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Der Parametersatz wurde nicht gespeichert: "))
        << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains("no-such-folder/set.moi"));
}

TEST_F(MoxIniWindow, DailyResetBoxSwitchesTheHourField)
{
    auto* box = Child<QCheckBox>("dayly_reset_CheckBox");
    auto* hour = Child<QSpinBox>("Reset_Time_Edit");
    hour->setValue(7);
    box->click();
    EXPECT_FALSE(hour->isEnabled());
    ASSERT_TRUE(window->TakeBuffer());
    EXPECT_EQ(window->Buffer()[dayly_reset], 0);
    EXPECT_EQ(window->Buffer()[reset_hour], 7);
    box->click();
    EXPECT_TRUE(hour->isEnabled());
}

TEST_F(MoxIniWindow, AnUnknownSensorLetterLeavesTheList)
{
    Child<QComboBox>("Sensor1_ComboBox")->setCurrentIndex(2);
    TParamSet set = StandardSet;
    set[sensor1_axis] = 'Q';
    set[sensor2_axis] = 'Y';
    const QString name = dir.filePath("q.moi");
    WriteFile(name, AsBytes(set));
    window->LoadFile(name);
    EXPECT_EQ(Child<QComboBox>("Sensor1_ComboBox")->currentText(), "Z");
    EXPECT_EQ(Child<QComboBox>("Sensor2_ComboBox")->currentText(), "Y");
}

TEST_F(MoxIniWindow, ReceivesShowsAndSendsWithTheDevice)
{
    const QString file = dir.filePath("device.moi");
    TParamSet device = FactoryParams();
    device[data_interval] = 30;
    device[sensor1_axis] = 'Z';
    Put16(device, k_limit + 16, 700);
    WriteFile(file, AsBytes(device));
    TDevSim sim({"--params", file.toStdString()});
    ASSERT_TRUE(sim.Started());
    Child<QComboBox>("ComComboBox")->setEditText(QString::fromStdString(sim.Link()));
    EXPECT_EQ(window->ComPort().Port(), sim.Link());

    Button("Empfangen_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Parameter korrekt gelesen...");
    EXPECT_EQ(messages[0].caption, "MOX");
    EXPECT_EQ(messages[0].icon, TMain::TIcon::None);
    ExpectIdle();
    EXPECT_TRUE(sawBusyCursor);
    EXPECT_GE(maxGauge, 90);
    EXPECT_EQ(window->Buffer(), device);
    EXPECT_EQ(Child<QSpinBox>("data_interval_Edit")->value(), 30);
    EXPECT_EQ(Child<QLineEdit>("K8_Edit")->text(), "700");
    EXPECT_EQ(Child<QComboBox>("Sensor1_ComboBox")->currentText(), "Z");

    // Coming back to the window (after the message, another program) keeps what was received.
    window->hide();
    window->show();
    QApplication::setActiveWindow(window.get());
    EXPECT_EQ(Child<QLineEdit>("K8_Edit")->text(), "700");

    Child<QSpinBox>("Alarm_Edit")->setValue(7);
    messages.clear();
    Button("Senden_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Parameter korrekt geschrieben...");
    ExpectIdle();
    device[alarm_k] = 7;
    EXPECT_EQ(window->Buffer(), device);
    EXPECT_EQ(ReadFile(file), AsBytes(device));  // reserved bytes included
}

TEST_F(MoxIniWindow, ADeviceSetThatTheFieldsCannotOfferGoesBackByteForByte)
{
    const QString file = dir.filePath("odd.moi");
    TParamSet device = FactoryParams();
    Put16(device, k_limit + 14, 999);
    Put16(device, k_limit + 16, 1000);
    Put16(device, k_limit, 65531);
    device[dayly_reset] = 2;
    device[reset_hour] = 30;
    Put16(device, analog1_interval, 100);
    Put16(device, analog2_interval, 65535);
    device[alarm_k] = 0;
    device[data_interval] = 200;
    device[korrektur1] = 0;
    device[rs232_mode] = 9;
    device[digin] = 7;
    device[sensor2_axis] = 'q';
    WriteFile(file, AsBytes(device));
    TDevSim sim({"--params", file.toStdString(), "--no-data"});
    ASSERT_TRUE(sim.Started());
    window->ComPort().SetPort(sim.Link());

    Button("Empfangen_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(messages[0].text, "Parameter korrekt gelesen...");
    EXPECT_EQ(Child<QLineEdit>("K8_Edit")->text(), "1000");
    EXPECT_EQ(Child<QLineEdit>("K0_Edit")->text(), "65531");
    EXPECT_EQ(Child<QSpinBox>("Intervall_Analog1_Edit")->value(), 100);
    EXPECT_EQ(Child<QSpinBox>("Intervall_Analog2_Edit")->text(), "65535");
    EXPECT_EQ(Child<QSpinBox>("Alarm_Edit")->value(), 0);
    EXPECT_EQ(Child<QSpinBox>("data_interval_Edit")->value(), 200);
    EXPECT_EQ(Child<QSpinBox>("Korrektur1_Edit")->value(), 0);
    for (const char* name :
         {"Intervall_Analog1_Edit", "Intervall_Analog2_Edit", "Alarm_Edit", "data_interval_Edit", "Korrektur1_Edit",
          "Reset_Time_Edit", "rs232_mode_ComboBox", "digin_CheckBox", "dayly_reset_CheckBox", "Sensor2_ComboBox"}) {
        EXPECT_TRUE(Child<QWidget>(name)->styleSheet().contains("red")) << name;
        EXPECT_TRUE(Child<QWidget>(name)->toolTip().startsWith("MOX meldet")) << name;
    }
    EXPECT_TRUE(Child<QSpinBox>("Alarm_Edit")->toolTip().contains("1 bis 9"));
    EXPECT_TRUE(Child<QWidget>("Korrektur2_Edit")->toolTip().isEmpty());

    // Sent with nothing touched: the device holds exactly what it held.
    messages.clear();
    Button("Senden_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Parameter korrekt geschrieben...");
    EXPECT_EQ(ReadFile(file), AsBytes(device));

    // A field the observer changes offers its own range again and is coded; the rest stays.
    Child<QSpinBox>("Alarm_Edit")->stepUp();
    EXPECT_EQ(Child<QSpinBox>("Alarm_Edit")->value(), 1);
    EXPECT_TRUE(Child<QSpinBox>("Alarm_Edit")->toolTip().isEmpty());
    Child<QSpinBox>("Alarm_Edit")->stepDown();
    EXPECT_EQ(Child<QSpinBox>("Alarm_Edit")->value(), 1);
    Child<QLineEdit>("K7_Edit")->setText("950");
    messages.clear();
    Button("Senden_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Parameter korrekt geschrieben...");
    device[alarm_k] = 1;
    Put16(device, k_limit + 14, 950);
    EXPECT_EQ(ReadFile(file), AsBytes(device));

    // Typing stays within three digits.
    auto* k8 = Child<QLineEdit>("K8_Edit");
    k8->clear();
    QTest::keyClicks(k8, "12345");
    EXPECT_EQ(k8->text(), "123");
}

TEST_F(MoxIniWindow, DateAndTimeOfferTheRunningUtcClock)
{
    // A computer clock set to a zone five hours east of UTC.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "XYZ-5");
    tzset();
    TMain local;
    local.show();
    auto* time = local.findChild<QTimeEdit*>("Uhrzeit_DateTimePicker");
    auto* date = local.findChild<QDateEdit*>("Datum_DateTimePicker");
    const QDateTime utc = QDateTime::currentDateTimeUtc();
    const int apart = std::abs(time->time().secsTo(utc.time()));
    EXPECT_TRUE(apart <= 5 || apart >= 86395) << time->time().toString().toStdString();
    EXPECT_TRUE(date->date() == utc.date() || std::abs(date->date().daysTo(utc.date())) == 1);
    int utcLabels = 0;
    for (QLabel* label : local.findChildren<QLabel*>()) utcLabels += label->text() == "UTC";
    EXPECT_EQ(utcLabels, 2);

    // Date and time run on with the clock while the window is open...
    QDateTime now(QDate(2026, 3, 1), QTime(10, 20, 30), Qt::UTC);
    local.UtcNow = [&] { return now; };
    EXPECT_TRUE(
        PumpUntil([&] { return time->time() == QTime(10, 20, 30) && date->date() == QDate(2026, 3, 1); }, 5000));
    // ...until the observer sets one of them: the time stays while the date goes on.
    time->setTime(QTime(3, 4, 5));
    now = QDateTime(QDate(2026, 3, 2), QTime(10, 20, 40), Qt::UTC);
    EXPECT_TRUE(PumpUntil([&] { return date->date() == QDate(2026, 3, 2); }, 5000));
    EXPECT_EQ(time->time(), QTime(3, 4, 5));

    if (zone.isNull()) qunsetenv("TZ");
    else qputenv("TZ", zone);
    tzset();
}

TEST_F(MoxIniWindow, FaultyDevicesAndPortsEndInAMessageWithTheWindowUnchanged)
{
    const TParamFields before = window->Fields();
    struct TCase {
        std::vector<std::string> args;
        const char* button;
        QString text;
    };
    for (const TCase& c :
         {TCase{{"--fault", "bad-copy"}, "Empfangen_Button", "Fehler beim Lesen des Parametersatzes!"},
          TCase{{"--fault", "one-copy"}, "Empfangen_Button", "MOX antwortet nicht!"},
          TCase{{"--fault", "hangup-after=20"}, "Empfangen_Button", "MOX antwortet nicht!"},
          TCase{{"--fault", "bad-echo"}, "Senden_Button", "Fehler beim Schreiben des Parametersatzes!"}}) {
        SCOPED_TRACE(c.text.toStdString());
        std::vector<std::string> args = c.args;
        args.push_back("--no-data");
        TDevSim sim(args);
        ASSERT_TRUE(sim.Started());
        window->ComPort().SetPort(sim.Link());
        // A device that falls silent is given up sooner; one that answers is waited for as ever.
        const bool silent = c.text == "MOX antwortet nicht!";
        window->ComPort().SetReadTimeouts(TComPort::ReadIntervalTimeout, silent ? 300 : TComPort::ReadTotalTimeout);
        messages.clear();
        Button(c.button)->click();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, c.text);
        EXPECT_EQ(messages[0].caption, "Fehler!");
        EXPECT_EQ(messages[0].icon, TMain::TIcon::Error);
        ExpectIdle();
        EXPECT_EQ(window->Fields(), before);
    }

    // A port that is not there: named in the message, for the device operations and the clock.
    Child<QComboBox>("ComComboBox")->setEditText("ttyMOXnone");
    for (const char* button : {"Empfangen_Button", "Time_Button"}) {
        messages.clear();
        Button(button)->click();
        ASSERT_EQ(messages.size(), 1u) << button;
        EXPECT_TRUE(messages[0].text.contains("ttyMOXnone")) << messages[0].text.toStdString();
        EXPECT_TRUE(messages[0].text.contains("/dev/ttyMOXnone"));
        ExpectIdle();
    }
    // Enter in a field sends the date: the same port message again.
    messages.clear();
    QTest::keyClick(Child<QLineEdit>("K3_Edit"), Qt::Key_Return);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("ttyMOXnone"));
    EXPECT_EQ(window->Fields(), before);
}

TEST_F(MoxIniWindow, NoNumberInAFieldStopsSaveAndSend)
{
    Child<QLineEdit>("K2_Edit")->setText("-");
    const QString name = dir.filePath("never.moi");
    window->SaveFile(name);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("K2"));
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_EQ(AsBytes(window->Buffer()), AsBytes(StandardSet));
    messages.clear();
    Button("Senden_Button")->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("K2"));
    ExpectIdle();
}

TEST_F(MoxIniWindow, F1OpensTheFieldsHelpTopic)
{
    QTest::keyClick(Child<QLineEdit>("K3_Edit"), Qt::Key_F1);
    auto* help = window->findChild<QTextBrowser*>("HelpBrowser");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->source().toLocalFile().endsWith("/mox_ini.html"));
    EXPECT_TRUE(help->toPlainText().contains("Obergrenzen der K-Klassen"));
    EXPECT_TRUE(messages.empty());
}

// The window fits a 1280 x 800 screen with room for a panel and the title bar.
TEST_F(MoxIniWindow, FitsASmallLaptopScreen)
{
    const QSize needed = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(needed.width(), 1280);
    EXPECT_LE(needed.height(), 720) << needed.height();
    EXPECT_LE(window->height(), 720);
}
