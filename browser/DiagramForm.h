#pragma once
// A zoom window: one pane's diagram, large and resizable, with automatic legends and the
// author's title. It holds the diagram only while it is open.
#include <QWidget>
#include <string>

#include "browser/BrowserLogic.h"

class DiagramView;
class TMOX_Diagram;

class TDiagramForm : public QWidget {
public:
    TDiagramForm(int number, QWidget* parent = nullptr);

    int Number() const { return number; }
    TMOX_Diagram* Diagram() const { return diagram; }
    void SetDiagram(TMOX_Diagram* d);
    DiagramView* LargeImage() const { return largeImage; }

    // Caption, binding and drawing; also what a reload of the pane refreshes.
    void FormActivate();
    void Redraw();
    void LargeImageRightClick(int y);
    // Gives the diagram back to its pane and closes.
    void Release();

    // The stored position, taken over once.
    void PlaceOnce(const ZoomBounds& b);
    bool Placed() const { return positioned; }
    ZoomBounds Bounds() const;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormResize();

    int number;
    TMOX_Diagram* diagram = nullptr;
    bool positioned = false;
    std::string savedTitle;
    DiagramView* largeImage = nullptr;
};
