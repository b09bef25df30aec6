// The filter window's live reload and stored switches; the legend dialog's fields.
#include <QTest>
#include <filesystem>

#include "CurveDialogTest.h"
#include "station/dialogs/FilterForm.h"
#include "station/dialogs/LegendeForm.h"

namespace {

// A one-minute spike of 500 nT on a quiet line: what the noise filter takes out.
Section Spiked(const std::string& component)
{
    return {component, Minutes([](int m) { return m == 600 ? 500 : 20; })};
}

class FilterTest : public CurveDialogTest {
protected:
    FilterTest() : form(context)
    {
        form.ShowError = [this](const QString& m) { errors += m; };
    }
    TFilterForm form;
    QString errors;
};

TEST_F(FilterTest, NoiseFilterReloadsEveryLoadedCurveAtOnceAndOkStoresIt)
{
    const std::string file = DayFile("20030615.mox", {Spiked("By"), Spiked("Bz")});
    diagram.AutoLoad(file, false);
    diagram.set_Offset(2, 15);
    ASSERT_EQ(diagram.get_data(1, 601), 500);
    ASSERT_EQ(diagram.get_data(2, 601), 500);

    form.show();
    EXPECT_FALSE(form.FilterCheckBox->isChecked());
    form.FilterCheckBox->click();

    EXPECT_TRUE(diagram.get_is_noisefilter());
    EXPECT_LT(diagram.get_data(1, 601), 100);
    EXPECT_LT(diagram.get_data(2, 601), 100);
    EXPECT_EQ(diagram.get_data(2, 1), 20);
    EXPECT_EQ(diagram.get_Header(2).Vector, vecBz);  // each curve from its own section
    EXPECT_EQ(diagram.get_Offset(2), 15);
    EXPECT_EQ(redraws, 1);
    EXPECT_FALSE(ini.ValueExists("Diagram", "Filter"));  // live, not yet stored

    form.OK_Button->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(ini.ReadBool("Diagram", "Filter", false));
    EXPECT_FALSE(ini.ReadBool("Diagram", "Korrektur", true));
    EXPECT_EQ(ini.ReadInteger("Diagram", "Offset-Filter-Limit", 0), 50);
}

TEST_F(FilterTest, OffsetFilterFollowsBoxAndThresholdAndEscStoresNothing)
{
    const std::string file = DayFile("20030615.mox", {{"By", Minutes([](int m) { return m < 720 ? 0 : 60; })}});
    diagram.LoadData(file, 2, 3);
    form.show();

    form.OffsetfilterCheckBox->click();  // threshold 50: the 60 nT jump goes
    EXPECT_EQ(diagram.get_data(3, 1440), 0);
    form.OffsetLimitEdit->setValue(70);  // now it stays
    EXPECT_EQ(diagram.get_offsetfilter_limit(), 70);
    EXPECT_EQ(diagram.get_data(3, 1440), 60);
    EXPECT_EQ(redraws, 2);

    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(diagram.get_is_offsetfilter());
    EXPECT_FALSE(ini.SectionExists("Diagram"));
}

TEST_F(FilterTest, SwitchingCorrectionsOnTellsTheLinesSkippedOnce)
{
    const std::string file = DayFile("20030615.mox", {Spiked("By"), Spiked("Bz")});
    WriteBytes(std::filesystem::path(file).parent_path() / "20030615.kor", "By;01:00;2,5\r\nBz;02:00;?\r\n");
    diagram.AutoLoad(file, false);
    form.show();
    form.KorrekturCheckBox->click();
    EXPECT_EQ(diagram.get_data(1, 1440), 22.5);
    // Both curves read the file; its broken line is told once.
    EXPECT_EQ(errors.count("20030615.kor, Zeile 2: Bz;02:00;?"), 1) << errors.toStdString();
}

TEST_F(FilterTest, MovedFileUnloadsItsCurveAndShowsTheSwitchesAsTheyAreNow)
{
    const std::string file = DayFile("20030615.mox", {Spiked("By")});
    diagram.LoadData(file, 0, 1);
    const std::string other = DayFile("20030616.mox", {Spiked("Bx")}, "16.06.03");
    diagram.LoadData(other, 0, 4);
    std::filesystem::remove(file);

    // Switched elsewhere (the load dialog) while this window was closed.
    diagram.set_is_Korrektur(true);
    form.show();
    EXPECT_TRUE(form.KorrekturCheckBox->isChecked());
    form.FilterCheckBox->click();

    EXPECT_FALSE(diagram.is_loaded(1));
    EXPECT_TRUE(diagram.is_loaded(4));
    EXPECT_EQ(diagram.get_K_Curve(1, 4), -1);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(FilterTest, DamagedFileOnReloadIsReportedAndTheOtherCurvesStillReload)
{
    const std::string bad = DayFile("20030615.mox", {Spiked("By")});
    diagram.LoadData(bad, 0, 1);
    const std::string good = DayFile("20030616.mox", {Spiked("Bx")}, "16.06.03");
    diagram.LoadData(good, 0, 2);
    WriteBytes(bad, DayFileText({Spiked("By")}, "31.02.03"));

    form.show();
    form.FilterCheckBox->click();

    EXPECT_FALSE(errors.isEmpty());
    EXPECT_FALSE(diagram.is_loaded(1));
    EXPECT_LT(diagram.get_data(2, 601), 100);
}

class LegendeTest : public CurveDialogTest {
protected:
    LegendeTest() : form(context) {}
    TLegendeForm form;
};

TEST_F(LegendeTest, ShowsDiagramTextsAndStoredOptionsWithTheirDefaults)
{
    diagram.set_Legende(3, "Bz Süd");
    diagram.set_Titel("MOX - $ORT$");
    diagram.set_is_Legendedatum(false);  // the dialog shows the stored option, not this
    form.show();
    EXPECT_EQ(form.KurveEdit[2]->text(), "Bz Süd");
    EXPECT_EQ(form.TitelEdit->text(), "MOX - $ORT$");
    EXPECT_FALSE(form.AutoLegendeCheckBox->isChecked());
    EXPECT_TRUE(form.DatumCheckBox->isChecked());
    EXPECT_TRUE(form.BemerkungCheckBox->isChecked());
    EXPECT_EQ(form.LegendeComboBox->currentText(), "Betreiber, Ort");
    EXPECT_EQ(form.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(form.ComboBox1->itemText(0), "$BEMERKUNG$ = Bemerkung aus Setup-Dialog");
}

TEST_F(LegendeTest, OkAppliesAndStoresEverythingAndTheTitleStopsAtEightyCharacters)
{
    form.show();
    form.KurveEdit[0]->setText("Nord");
    form.KurveEdit[3]->setText("Gesamtfeld");
    form.TitelEdit->clear();
    QTest::keyClicks(form.TitelEdit, QString(81, 'x'));
    EXPECT_EQ(form.TitelEdit->text().size(), 80);
    form.AutoLegendeCheckBox->setChecked(true);
    form.BemerkungCheckBox->setChecked(false);
    form.LegendeComboBox->setCurrentIndex(8);
    form.OK_Button->click();

    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(diagram.get_Legende(1), "Nord");
    EXPECT_EQ(diagram.get_Legende(4), "Gesamtfeld");
    EXPECT_EQ(diagram.get_Titel(), std::string(80, 'x'));
    EXPECT_TRUE(diagram.get_is_Autolegende());
    EXPECT_TRUE(diagram.get_is_Legendedatum());
    EXPECT_FALSE(diagram.get_is_Legendebemerkung());
    EXPECT_EQ(diagram.get_Legendestil(), legKOORD);
    EXPECT_EQ(ini.ReadString("Diagram", "Label1", ""), "Nord");
    EXPECT_EQ(ini.ReadString("Diagram", "Label4", ""), "Gesamtfeld");
    EXPECT_EQ(ini.ReadString("Diagram", "Titel", ""), std::string(80, 'x'));
    EXPECT_TRUE(ini.ReadBool("Diagram", "Autolegende", false));
    EXPECT_TRUE(ini.ReadBool("Diagram", "Datum in Legende", false));
    EXPECT_FALSE(ini.ReadBool("Diagram", "Bemerkung in Legende", true));
    EXPECT_EQ(ini.ReadInteger("Diagram", "Legende-Stil", 0), 8);
}

TEST_F(LegendeTest, CancelChangesNothing)
{
    diagram.set_Legende(1, "Bx");
    form.show();
    form.KurveEdit[0]->setText("anders");
    form.LegendeComboBox->setCurrentIndex(4);
    form.Cancel_Button->click();
    EXPECT_EQ(diagram.get_Legende(1), "Bx");
    EXPECT_FALSE(ini.SectionExists("Diagram"));
}

}  // namespace
