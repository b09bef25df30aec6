#pragma once
// "Batch-Modus Einstellungen": image format, image folder and the batch's optional outputs.
#include <QDialog>
#include <functional>

#include "station/dialogs/StationContext.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The station's running batch output flags.
struct BatchOutputFlags {
    bool Vorschau = false;
    bool Vortag = false;
    bool WAP = true;
    bool HTML = true;
};

class TBatchForm : public QDialog {
public:
    explicit TBatchForm(TStationContext& context);

    void FormActivate();
    void FolderButtonClick();
    void OK_ButtonClick();

    // The station's flags, shown on activation, and where OK hands the new ones.
    std::function<BatchOutputFlags()> StationFlags;
    std::function<void(const BatchOutputFlags&)> SetStationFlags;
    // The folder chooser, started at the shown folder; empty when the user cancels.
    std::function<QString(const QString& start)> ChooseFolder;
    // Tells the user why OK did not close the dialog.
    std::function<void(const QString&)> ShowError;

    QComboBox* FormatComboBox = nullptr;
    QCheckBox* VorschauCheckBox = nullptr;
    QCheckBox* VortagCheckBox = nullptr;
    QCheckBox* WAPCheckBox = nullptr;
    QCheckBox* HTMLCheckBox = nullptr;
    QLineEdit* PfadEdit = nullptr;
    QPushButton* FolderButton = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TStationContext& ctx;
};
