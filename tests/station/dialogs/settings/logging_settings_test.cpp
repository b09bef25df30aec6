#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "SettingsTest.h"
#include "station/dialogs/LogBatchForm.h"
#include "station/dialogs/LogSetupForm.h"
#include "station/serial/ComPort.h"
#include "widgets/ComComboBox.h"

namespace {

class LogSetupFormTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        port.SetPort("ttyUSB0");
        form = std::make_unique<TLogSetupForm>(ctx, &port);
        form->StationDataDir = [this] { return dataDir; };
        form->Applied = [this](const std::string& d, const std::string& p) {
            appliedDir = d;
            appliedPort = p;
            ++applied;
        };
    }
    TComPort port;
    std::unique_ptr<TLogSetupForm> form;
    std::string dataDir = "/var/lib/mox/daten/";
    std::string appliedDir, appliedPort;
    int applied = 0;
};

TEST_F(LogSetupFormTest, ChosenFolderAndTypedPortReachFileAndStation)
{
    form->show();
    EXPECT_EQ(form->DirEdit->text(), "/var/lib/mox/daten");
    EXPECT_EQ(form->ComComboBox->Text(), "ttyUSB0");

    // A pseudo-terminal is not listed; its path is typed.
    form->ComComboBox->setEditText("/dev/pts/7");
    form->ChooseFolder = [this](const QString& start) {
        EXPECT_EQ(start, "/var/lib/mox/daten");
        return QString::fromStdString(dir / "Daten");
    };
    form->DirButton->click();
    form->OK_Button->click();

    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ini->ReadString("Verzeichnisse", "Datenverzeichnis", ""), dir / "Daten");
    EXPECT_EQ(ini->ReadString("COM-Port", "Port", ""), "/dev/pts/7");
    EXPECT_EQ(port.Port(), "/dev/pts/7");
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(appliedDir, dir / "Daten/");
    EXPECT_EQ(appliedPort, "/dev/pts/7");
}

TEST_F(LogSetupFormTest, RootFolderStaysAndNoPortLeavesThePort)
{
    dataDir = "/";
    form->show();
    EXPECT_EQ(form->DirEdit->text(), "/");
    form->ComComboBox->setEditText("");
    form->OK_ButtonClick();
    EXPECT_EQ(ini->ReadString("Verzeichnisse", "Datenverzeichnis", ""), "/");
    EXPECT_FALSE(ini->ValueExists("COM-Port", "Port"));
    EXPECT_EQ(port.Port(), "ttyUSB0");
    EXPECT_EQ(appliedDir, "/");
    EXPECT_EQ(appliedPort, "");
}

TEST_F(LogSetupFormTest, CancelChangesNothing)
{
    form->show();
    form->ComComboBox->setEditText("ttyS1");
    form->ChooseFolder = [](const QString&) { return QString("/tmp"); };
    form->DirButton->click();
    form->CancelButton->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(IniText().empty());
    EXPECT_EQ(port.Port(), "ttyUSB0");
    EXPECT_EQ(applied, 0);
}

class LogBatchFormTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        form = std::make_unique<TLogBatchForm>(ctx);
        form->StationValues = [this] { return station; };
        form->Applied = [this](const LogBatchValues& v) {
            station = v;
            ++applied;
        };
    }
    std::unique_ptr<TLogBatchForm> form;
    LogBatchValues station;
    int applied = 0;
};

TEST_F(LogBatchFormTest, OkStoresEveryKeyAndHandsTheValuesToTheStation)
{
    station.FTP_TimeoutSekunden = 1;  // the start-up default lies below the offered range
    form->show();
    EXPECT_EQ(form->FTPTimeoutEdit->value(), 30);
    EXPECT_FALSE(form->BreiteEdit->isEnabled());
    form->AbmessungenStandardCheckBox->setChecked(false);
    EXPECT_TRUE(form->BreiteEdit->isEnabled());
    EXPECT_TRUE(form->HoeheEdit->isEnabled());

    form->IntervallEdit->setValue(30);
    form->FTPTimeoutEdit->setValue(120);
    form->FTPIntervallEdit->setValue(5);
    form->FTPCommandEdit->setText("/usr/local/bin/upload.sh");
    form->BreiteEdit->setValue(800);
    form->HoeheEdit->setValue(600);
    form->OK_Button->click();

    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(station.IntervallMinuten, 30);
    EXPECT_EQ(station.FTP_TimeoutSekunden, 120);
    EXPECT_EQ(station.FTP_Intervall, 5);
    EXPECT_EQ(station.FTP_Kommando, "/usr/local/bin/upload.sh");
    EXPECT_FALSE(station.Standard);
    EXPECT_EQ(station.Breite, 800);
    EXPECT_EQ(station.Hoehe, 600);
    EXPECT_EQ(ini->ReadString("Batch", "Intervall", ""), "30");
    EXPECT_EQ(ini->ReadString("Batch", "FTP-Timeout", ""), "120");
    EXPECT_EQ(ini->ReadString("Batch", "FTP-Intervall", ""), "5");
    EXPECT_EQ(ini->ReadString("Batch", "FTP-Kommando", ""), "/usr/local/bin/upload.sh");
    EXPECT_EQ(ini->ReadString("Batch", "Standard", ""), "0");
    EXPECT_EQ(ini->ReadString("Batch", "Breite", ""), "800");
    EXPECT_EQ(ini->ReadString("Batch", "Hoehe", ""), "600");
    // The batch key "Breite" is not the header's latitude.
    EXPECT_FALSE(ini->ValueExists("MOX-Header", "Breite"));

    form->show();
    EXPECT_EQ(form->IntervallEdit->value(), 30);
    EXPECT_EQ(form->FTPTimeoutEdit->value(), 120);
    EXPECT_TRUE(form->BreiteEdit->isEnabled());
}

TEST_F(LogBatchFormTest, CancelHandsNothingOver)
{
    form->show();
    form->IntervallEdit->setValue(12);
    form->CancelButton->click();
    EXPECT_EQ(applied, 0);
    EXPECT_TRUE(IniText().empty());
}

}  // namespace
