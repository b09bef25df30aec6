#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include "../../../support/ColourSpot.h"
#include "SettingsTest.h"
#include "station/dialogs/BatchForm.h"
#include "station/dialogs/FarbDlg.h"
#include "station/dialogs/SetupForm.h"

namespace {

const int kDefaults[9] = {10, 15, 25, 50, 90, 152, 225, 370, 600};

class SetupFormTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        farb = std::make_unique<TFarbDlg>(ctx);
        batch = std::make_unique<TBatchForm>(ctx);
        form = std::make_unique<TSetupForm>(ctx, *farb, *batch);
        form->ShowError = [this](const QString& text) { errors << text; };
    }
    std::unique_ptr<TFarbDlg> farb;
    std::unique_ptr<TBatchForm> batch;
    std::unique_ptr<TSetupForm> form;
    QStringList errors;
};

TEST_F(SetupFormTest, EmptyFileShowsDefaultsAndTheDiagramsScale)
{
    diagram.set_Y_Skalierung(scale250);
    diagram.set_is_AutoScale(false);
    form->show();
    for (int n = 0; n < 9; ++n) EXPECT_EQ(form->K_Edit[n]->text().toInt(), kDefaults[n]) << n;
    EXPECT_EQ(form->Alarm_Edit->value(), 4);
    EXPECT_TRUE(form->AlarmCheckBox->isChecked());
    EXPECT_TRUE(form->K_Wert_CheckBox->isChecked());
    EXPECT_TRUE(form->KCheckBox[3]->isChecked());
    EXPECT_EQ(form->ScaleRadioGroup->checkedId(), int(scale250));
    EXPECT_FALSE(form->autoscale_CheckBox->isChecked());
    EXPECT_EQ(form->OrtEdit->text().toStdString(), diagram.get_Ort());
    EXPECT_TRUE(form->RemEdit->text().isEmpty());
    EXPECT_TRUE(IniText().empty());
}

TEST_F(SetupFormTest, OkStoresEveryKeyAndSetsTheDiagram)
{
    form->show();
    form->AutorEdit->setText("Sternwarte");
    form->OrtEdit->setText("Gülzow");
    form->LaengeEdit->setText("12.1 E");
    form->BreiteEdit->setText("53.7 N");
    form->LocatorEdit->setText("JO63NR");
    form->RemEdit->setText("Sonde 2");
    form->K_Wert_CheckBox->setChecked(false);
    form->SummeCheckBox->setChecked(false);
    form->FarbbalkenCheckBox->setChecked(true);
    form->KCheckBox[1]->setChecked(false);
    form->K_Edit[2]->setText("30");
    form->ScaleRadioGroup->button(5)->setChecked(true);
    form->autoscale_CheckBox->setChecked(false);
    form->AlarmCheckBox->setChecked(false);
    form->Alarm_Edit->setValue(6);
    form->OK_Button->click();

    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(ini->ReadString("MOX-Header", "Autor", ""), "Sternwarte");
    EXPECT_EQ(ini->ReadString("MOX-Header", "Ort", ""), "Gülzow");
    EXPECT_EQ(ini->ReadString("MOX-Header", "Länge", ""), "12.1 E");
    EXPECT_EQ(ini->ReadString("MOX-Header", "Breite", ""), "53.7 N");
    EXPECT_EQ(ini->ReadString("MOX-Header", "Locator", ""), "JO63NR");
    EXPECT_EQ(ini->ReadString("MOX-Header", "Remarks", ""), "Sonde 2");
    EXPECT_EQ(ini->ReadString("Diagram", "K-Wert", ""), "0");
    EXPECT_EQ(ini->ReadString("Diagram", "K-Summe", ""), "0");
    EXPECT_EQ(ini->ReadString("Diagram", "K-Farbbalken", ""), "1");
    EXPECT_EQ(ini->ReadString("Diagram", "Kurve1-K-Wert", ""), "1");
    EXPECT_EQ(ini->ReadString("Diagram", "Kurve2-K-Wert", ""), "0");
    EXPECT_EQ(ini->ReadString("Diagram", "Kurve4-K-Wert", ""), "1");
    for (int n = 0; n < 9; ++n)
        EXPECT_EQ(ini->ReadInteger("K-Wert", "K" + std::to_string(n), -1), n == 2 ? 30 : kDefaults[n]) << n;
    EXPECT_EQ(ini->ReadString("Diagram", "Skalierung", ""), "5");
    EXPECT_EQ(ini->ReadString("Diagram", "Auto-Skalierung", ""), "0");
    EXPECT_EQ(ini->ReadString("Diagram", "Alarm", ""), "0");
    EXPECT_EQ(ini->ReadString("Diagram", "Alarmschwelle", ""), "6");

    EXPECT_FALSE(diagram.get_is_K_index());
    EXPECT_FALSE(diagram.get_is_K_summe());
    EXPECT_TRUE(diagram.get_is_K_Balken());
    EXPECT_FALSE(diagram.get_is_K_curve(2));
    EXPECT_TRUE(diagram.get_is_K_curve(1));
    EXPECT_EQ(diagram.get_K_limit(2), 30);
    EXPECT_EQ(diagram.get_Y_Skalierung(), scale500);
    EXPECT_FALSE(diagram.get_is_AutoScale());
    EXPECT_FALSE(diagram.get_is_Alarm());
    EXPECT_EQ(diagram.get_Alarm_limit(), 6);
    // The header texts wait for the next start.
    EXPECT_NE(diagram.get_Ort(), "Gülzow");

    // Reopening shows what was stored.
    form->show();
    EXPECT_EQ(form->K_Edit[2]->text(), "30");
    EXPECT_EQ(form->Alarm_Edit->value(), 6);
    EXPECT_EQ(form->ScaleRadioGroup->checkedId(), 5);
}

TEST_F(SetupFormTest, FaultyLimitsStoreNothingAndKeepTheDialogOpen)
{
    form->show();
    form->AutorEdit->setText("geändert");
    form->K_Edit[4]->setText("");
    form->OK_ButtonClick();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(form->isVisible());

    // A limit below the one before it would be refused by the diagram.
    form->K_Edit[4]->setText("20");
    form->OK_ButtonClick();
    EXPECT_EQ(errors.size(), 2);
    form->K_Edit[4]->setText("-5");
    form->OK_ButtonClick();
    EXPECT_EQ(errors.size(), 3);

    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(IniText().empty());
    EXPECT_EQ(diagram.get_K_limit(4), 90);
    EXPECT_EQ(redraws, 0);
}

TEST_F(SetupFormTest, DefaultFillsTheFieldsOnlyUntilOk)
{
    ini->WriteInteger("K-Wert", "K0", 5);
    ini->WriteInteger("K-Wert", "K8", 700);
    const std::string before = IniText();
    form->show();
    EXPECT_EQ(form->K_Edit[8]->text(), "700");
    form->DefaultButton->click();
    EXPECT_EQ(form->K_Edit[0]->text(), "10");
    EXPECT_EQ(form->K_Edit[8]->text(), "600");
    form->Cancel_Button->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(IniText(), before);
    EXPECT_EQ(redraws, 0);

    form->show();
    EXPECT_EQ(form->K_Edit[8]->text(), "700");
    form->DefaultButton->click();
    form->OK_ButtonClick();
    EXPECT_EQ(ini->ReadInteger("K-Wert", "K0", -1), 10);
    EXPECT_EQ(ini->ReadInteger("K-Wert", "K8", -1), 600);
}

class FarbDlgTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        diagram.Color1 = 0x800000;
        diagram.Color2 = 0x0000FF;
        diagram.Color3 = 0x008000;
        diagram.Color4 = 0x000000;
        diagram.set_bkColor(0xFFFFFF);
        dlg = std::make_unique<TFarbDlg>(ctx);
        dlg->PickColor = [this](TColor) { return picked; };
        dlg->ColorsChanged = [this] { ++changed; };
    }
    std::unique_ptr<TFarbDlg> dlg;
    std::optional<TColor> picked;
    int changed = 0;
};

TEST_F(FarbDlgTest, PickedColourShowsAtOnceButOnlyOkStoresIt)
{
    dlg->show();
    EXPECT_EQ(dlg->SelectedBkColor(), 0xFFFFFFu);
    picked = 0x00FF00;
    dlg->CurveButton[1]->click();
    EXPECT_EQ(diagram.get_Color(2), 0x00FF00u);
    picked.reset();  // the picker cancelled: colour stays
    dlg->CurveButton[0]->click();
    EXPECT_EQ(diagram.get_Color(1), 0x800000u);
    dlg->CancelButton->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(IniText().empty());
    EXPECT_EQ(changed, 0);

    dlg->show();
    dlg->SelectBkColor(0xF0CAA6);
    dlg->OK_Button->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(diagram.get_bkColor(), 0xF0CAA6u);
    EXPECT_EQ(ini->ReadInteger("Diagram", "Color1", -1), 0x800000);
    EXPECT_EQ(ini->ReadInteger("Diagram", "Color2", -1), 0x00FF00);
    EXPECT_EQ(ini->ReadInteger("Diagram", "Color3", -1), 0x008000);
    EXPECT_EQ(ini->ReadInteger("Diagram", "Color4", -1), 0);
    EXPECT_EQ(ini->ReadInteger("Diagram", "bkColor", -1), 0xF0CAA6);
}

TEST_F(FarbDlgTest, UnnamedBackgroundSurvivesOkAndResetRestoresDefaults)
{
    diagram.set_bkColor(0x123456);
    dlg->show();
    EXPECT_EQ(dlg->SelectedBkColor(), 0x123456u);
    dlg->OK_ButtonClick();
    EXPECT_EQ(ini->ReadInteger("Diagram", "bkColor", -1), 0x123456);

    diagram.set_Color(3, 0xABCDEF);
    dlg->show();
    dlg->Default_Button->click();
    EXPECT_EQ(diagram.get_Color(3), 0x008000u);
    EXPECT_EQ(dlg->SelectedBkColor(), diagram.get_bkColor());
}

class BatchFormTest : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        form = std::make_unique<TBatchForm>(ctx);
        form->StationFlags = [this] { return station; };
        form->SetStationFlags = [this](const BatchOutputFlags& f) {
            station = f;
            ++applied;
        };
        form->ShowError = [this](const QString& text) { errors << text; };
    }
    std::unique_ptr<TBatchForm> form;
    BatchOutputFlags station;
    int applied = 0;
    QStringList errors;
};

TEST_F(BatchFormTest, ShowsTheStationsFlagsAndStoresEverythingOnOk)
{
    // The check boxes follow the running station, not the file.
    ini->WriteBool("Batch", "Vorschau", true);
    ini->WriteInteger("Batch", "Bildformat", 2);
    station = {false, true, false, true};
    form->show();
    EXPECT_FALSE(form->VorschauCheckBox->isChecked());
    EXPECT_TRUE(form->VortagCheckBox->isChecked());
    EXPECT_FALSE(form->WAPCheckBox->isChecked());
    EXPECT_EQ(form->FormatComboBox->currentIndex(), 2);

    form->ChooseFolder = [this](const QString&) { return QString::fromStdString(dir / "web"); };
    form->FolderButton->click();
    EXPECT_EQ(form->PfadEdit->text().toStdString(), dir / "web/");
    form->FormatComboBox->setCurrentIndex(1);
    form->VorschauCheckBox->setChecked(true);
    form->HTMLCheckBox->setChecked(false);
    form->OK_Button->click();

    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(station.Vorschau);
    EXPECT_TRUE(station.Vortag);
    EXPECT_FALSE(station.WAP);
    EXPECT_FALSE(station.HTML);
    EXPECT_EQ(ini->ReadString("Verzeichnisse", "Bilder", ""), dir / "web/");
    EXPECT_EQ(ini->ReadString("Batch", "Bildformat", ""), "1");
    EXPECT_EQ(ini->ReadString("Batch", "Vorschau", ""), "1");
    EXPECT_EQ(ini->ReadString("Batch", "Vortag", ""), "1");
    EXPECT_EQ(ini->ReadString("Batch", "WAP", ""), "0");
    EXPECT_EQ(ini->ReadString("Batch", "HTML", ""), "0");
}

TEST_F(BatchFormTest, TypedFolderGetsItsSlashAndARelativeOneIsRefused)
{
    form->show();
    form->PfadEdit->setText("bilder");
    form->OK_ButtonClick();
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(IniText().empty());
    EXPECT_EQ(applied, 0);

    form->PfadEdit->setText(QString::fromStdString(dir / "bilder"));
    form->OK_ButtonClick();
    EXPECT_EQ(ini->ReadString("Verzeichnisse", "Bilder", ""), dir / "bilder/");
    EXPECT_EQ(applied, 1);
}

}  // namespace

// Each preview line stands in the row of its curve button, right beside it.
TEST_F(FarbDlgTest, PreviewLinesStandBesideTheirButtons)
{
    const TColor colours[4] = {0xFF00FF, 0xC8C800, 0x0078FA, 0x0AB40A};
    for (int c = 1; c <= 4; ++c) diagram.set_Color(c, colours[c - 1]);
    dlg->show();
    const QImage picture = dlg->grab().toImage();
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE(c);
        const TColor t = colours[c - 1];
        const auto spot = FindColour(picture, qRgb(t & 0xFF, (t >> 8) & 0xFF, (t >> 16) & 0xFF));
        ASSERT_TRUE(spot);
        const QRect button = RectIn(dlg.get(), dlg->CurveButton[c - 1]);
        EXPECT_LE(std::abs(spot->Row - button.center().y()), 1.5) << spot->Row << " " << button.center().y();
        EXPECT_GE(spot->Left, button.right());
        EXPECT_LE(spot->Left, button.right() + 24);
    }
}
