#include "browser/DiagramForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "mox/Mm.h"
#include "widgets/DiagramView.h"

TDiagramForm::TDiagramForm(int number, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      number(number)
{
    setObjectName(QString("DiagramForm%1").arg(number));
    setWindowTitle(QString("%1: ").arg(number));
    largeImage = new DiagramView(this);
    largeImage->setCursor(Qt::CrossCursor);
    largeImage->setObjectName("LargeImage");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(largeImage);
    resize(769, 585);
    largeImage->OnResize = [this] { FormResize(); };
    largeImage->OnMouseDown = [this](int, int y, Qt::MouseButton b) {
        if (b == Qt::RightButton) LargeImageRightClick(y);
    };
    largeImage->OnDblClick = [this](int, int) { Release(); };
}

void TDiagramForm::SetDiagram(TMOX_Diagram* d)
{
    diagram = d;
    // Drawing may come before activation (the first resize): the pane's title is kept from now.
    savedTitle = d ? d->get_Titel() : std::string();
}

void TDiagramForm::FormActivate()
{
    if (!diagram) return;
    diagram->MOX_Image = &largeImage->Image;
    savedTitle = diagram->get_Titel();
    setWindowTitle(QString::fromStdString(ZoomCaption(number, *diagram)));
    Redraw();
}

void TDiagramForm::Redraw()
{
    if (!diagram) return;
    // The zoom shows legends with dates and the author's title; the pane keeps its own title.
    diagram->set_is_Autolegende(true);
    diagram->set_is_Legendedatum(true);
    diagram->set_Titel("$NAME1$ in $ORT1$ ($KOORD1$)");
    largeImage->Image.SetClientSize(largeImage->width(), largeImage->height());
    diagram->MOX_Image = &largeImage->Image;
    diagram->ShowMagnetogramm();
    diagram->set_Titel(savedTitle);
    largeImage->update();
}

void TDiagramForm::FormResize()
{
    largeImage->Image.SetClientSize(largeImage->width(), largeImage->height());
    if (diagram) Redraw();
}

void TDiagramForm::LargeImageRightClick(int y)
{
    if (!diagram) return;
    // The field values of the rows are those of this window's drawing, not of the pane's.
    Redraw();
    if (SetOffsetsAtRow(*diagram, y)) Redraw();
}

void TDiagramForm::Release()
{
    if (diagram) {
        diagram->set_Titel(savedTitle);
        diagram = nullptr;
    }
    close();
}

void TDiagramForm::PlaceOnce(const ZoomBounds& b)
{
    if (positioned) return;
    positioned = true;
    const QRect wanted(b.Left, b.Top, std::max(b.Width, 200), std::max(b.Height, 150));
    // A window stored on a screen that is gone would open out of reach.
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(wanted)) {
            move(wanted.topLeft());
            resize(wanted.size());
            return;
        }
    resize(wanted.size());
}

ZoomBounds TDiagramForm::Bounds() const { return ZoomBounds{x(), y(), width(), height()}; }

bool TDiagramForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(event);
}

void TDiagramForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormActivate();
}

void TDiagramForm::keyPressEvent(QKeyEvent*) { Release(); }

void TDiagramForm::closeEvent(QCloseEvent* event)
{
    // Closed by its frame: the diagram goes back to its pane all the same.
    if (diagram) {
        diagram->set_Titel(savedTitle);
        diagram = nullptr;
    }
    event->accept();
}
