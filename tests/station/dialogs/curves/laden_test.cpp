// The load dialog: switches stored and applied before the load, component and curve choice,
// the folder memory, and the follow-up steps that run whatever the file dialog gave.
#include <QFileInfo>

#include "CurveDialogTest.h"
#include "station/dialogs/CurveDialogParts.h"
#include "station/dialogs/Diagramm_LadenDlg.h"

namespace {

class LadenTest : public CurveDialogTest {
protected:
    LadenTest() : dlg(context)
    {
        dlg.OpenFile = [this](const QString& folder) {
            askedFolder = folder;
            ++fileDialogs;
            return chosen;
        };
        dlg.RefreshCurveWindows = [this] { ++curveWindowRefreshes; };
        dlg.RefreshKorrekturList = [this] { ++korrekturListRefreshes; };
        dlg.ShowError = [this](const QString& m) { errors += m; };
    }
    // The user sets the switches, picks curve and component, and presses OK.
    void LoadWith(int curveIndex, int vectorIndex, const QString& file)
    {
        dlg.show();
        dlg.Kurven_RadioGroup->SetItemIndex(curveIndex);
        dlg.Vector_RadioGroup->SetItemIndex(vectorIndex);
        chosen = file;
        dlg.OK_Button->click();
    }

    TDiagramm_LadenDlg dlg;
    QString chosen;
    QString askedFolder;
    QString errors;
    int fileDialogs = 0;
    int curveWindowRefreshes = 0;
    int korrekturListRefreshes = 0;
};

TEST_F(LadenTest, CancelledFileDialogStillStoresTheSwitchesAndRunsTheFollowUp)
{
    diagram.set_is_noisefilter(true);
    diagram.set_offsetfilter_limit(70);
    dlg.show();
    // Shown as the diagram has them.
    EXPECT_TRUE(dlg.FilterCheckBox->isChecked());
    EXPECT_FALSE(dlg.KorrekturCheckBox->isChecked());
    EXPECT_EQ(dlg.OffsetLimitEdit->value(), 70);

    dlg.KorrekturCheckBox->setChecked(true);
    dlg.FilterCheckBox->setChecked(false);
    dlg.OffsetfilterCheckBox->setChecked(true);
    dlg.OffsetLimitEdit->setValue(25);
    chosen.clear();
    dlg.OK_Button->click();

    EXPECT_EQ(fileDialogs, 1);
    EXPECT_TRUE(ini.ReadBool("Diagram", "Korrektur", false));
    EXPECT_FALSE(ini.ReadBool("Diagram", "Filter", true));
    EXPECT_TRUE(ini.ReadBool("Diagram", "Offset-Filter", false));
    EXPECT_EQ(ini.ReadInteger("Diagram", "Offset-Filter-Limit", 0), 25);
    EXPECT_TRUE(diagram.get_is_Korrektur());
    EXPECT_FALSE(diagram.get_is_noisefilter());
    EXPECT_TRUE(diagram.get_is_offsetfilter());
    EXPECT_EQ(diagram.get_offsetfilter_limit(), 25);
    EXPECT_FALSE(ini.ValueExists("Diagram", "MOX-Data"));
    EXPECT_EQ(curveWindowRefreshes, 1);
    EXPECT_EQ(korrekturListRefreshes, 1);
    EXPECT_EQ(korrekturCalls, 0);  // nothing loaded: the correction command stays as it was
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(LadenTest, OneComponentGoesIntoTheChosenCurveAndOthersKeepTheirData)
{
    const std::string other = DayFile("20030614.mox", {Constant("By", 7)}, "14.06.03");
    diagram.LoadData(other, 0, 1);
    ASSERT_TRUE(diagram.is_loaded(1));
    const std::string file =
        DayFile("20030615.mox", {Constant("Bx", 11), Constant("By", 22), Constant("Bz", 33), Constant("B", 44)});
    ini.WriteString("Diagram", "MOX-Data", dir.str());

    LoadWith(2, 1, QString::fromStdString(file));  // "Kurve 3", "By"

    EXPECT_EQ(askedFolder, QString::fromStdString(dir.str()));
    EXPECT_TRUE(diagram.is_loaded(3));
    EXPECT_EQ(diagram.get_data(3, 1), 22);
    EXPECT_EQ(diagram.get_data(3, 1440), 22);
    EXPECT_EQ(diagram.get_Header(3).Vector, vecBy);
    EXPECT_EQ(diagram.get_data(1, 100), 7);
    EXPECT_FALSE(diagram.is_loaded(2));
    EXPECT_FALSE(diagram.is_loaded(4));
    EXPECT_TRUE(korrekturEnabled);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LadenTest, AutoLoadsTheDayByItsTypeAndRemembersTheFolder)
{
    QDir().mkpath(QString::fromStdString(dir / "tage"));
    const std::string file = dir / "tage/20030615.mox";
    WriteBytes(file, DayFileText({Constant("By", 5), Constant("Bz", 6)}, "15.06.03"));

    LoadWith(3, 4, QString::fromStdString(file));  // "Kurve 4" is ignored with "Auto"

    EXPECT_EQ(diagram.get_data(1, 1), 5);
    EXPECT_EQ(diagram.get_data(2, 1), 6);
    EXPECT_FALSE(diagram.is_loaded(4));
    EXPECT_EQ(QFileInfo(QString::fromStdString(ini.ReadString("Diagram", "MOX-Data", ""))),
              QFileInfo(QString::fromStdString(dir / "tage")));
    EXPECT_TRUE(korrekturEnabled);
}

TEST_F(LadenTest, SwitchesChosenHereApplyToThisLoad)
{
    // A static jump of 100 nT at noon, removed by the offset filter at threshold 50.
    const std::string file = DayFile("20030615.mox", {{"By", Minutes([](int m) { return m < 720 ? 0 : 100; })}});
    dlg.show();
    dlg.OffsetfilterCheckBox->setChecked(true);
    dlg.OffsetLimitEdit->setValue(50);
    LoadWith(0, 4, QString::fromStdString(file));

    EXPECT_EQ(diagram.get_data(1, 1), 0);
    EXPECT_EQ(diagram.get_data(1, 1440), 0);
}

TEST_F(LadenTest, DamagedHeaderIsReportedAndTheDialogStillFinishes)
{
    const std::string file = dir / "20030615.mox";
    WriteBytes(file, DayFileText({Constant("By", 5)}, "kein Datum"));

    LoadWith(0, 4, QString::fromStdString(file));

    EXPECT_FALSE(errors.isEmpty());
    EXPECT_FALSE(diagram.is_loaded(1));
    EXPECT_EQ(curveWindowRefreshes, 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

}  // namespace
