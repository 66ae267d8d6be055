// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ScreenFit.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace zupfomat {
namespace {

const char* const kFitDecided = "screenFitDecided";
const QString kAreaName = QStringLiteral("screenFitArea");

// The window's design surface inside the scroll area: the window's colours, and what the window
// painted behind its controls as it was first shown (the designs paint a fixed background).
class DesignSurface : public QWidget {
public:
    explicit DesignSurface(QPixmap background) : background_(std::move(background))
    {
        setObjectName(QStringLiteral("screenFitSurface"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, background_);
    }

private:
    QPixmap background_;
};

// The size a window's design takes: the window's own size, grown to take in the controls that
// reach beyond it to the right or below (as on the lesson pages).
QSize designExtent(const QWidget* window)
{
    QRect extent(QPoint(), window->size());
    for (const QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isWindow())
            extent |= control->geometry();
    }
    return {extent.right() + 1, extent.bottom() + 1};
}

// The largest client area a window can have on a screen with its frame on the screen as well.
QRect clientRoom(const QScreen& screen) { return screen.availableGeometry().marginsRemoved(kFrameAllowance); }

QPixmap paintedBackground(QWidget* window)
{
    const qreal ratio = window->devicePixelRatioF();
    QPixmap background(window->size() * ratio);
    background.setDevicePixelRatio(ratio);
    background.fill(Qt::transparent);
    window->render(&background, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return background;
}

// The client size for a design: the design and the scroll bars it needs, within the room. A
// scroll bar along one side takes room from the other and may call for the other bar as well.
QSize clientSize(QSize extent, QSize room, QSize bars)
{
    bool across = extent.width() > room.width();
    bool down = extent.height() > room.height();
    across = across || (down && extent.width() + bars.width() > room.width());
    down = down || (across && extent.height() + bars.height() > room.height());
    const QSize wanted(extent.width() + (down ? bars.width() : 0), extent.height() + (across ? bars.height() : 0));
    return wanted.boundedTo(room);
}

// The client area around the centre asked for, moved as little as it takes to bring all of it
// into the room. Placed by its client area: before the window is first on screen, the platform
// may not know its frame yet and would take a frame position for the client's.
QRect placeInRoom(QSize size, const QRect& room, QPoint centre)
{
    QRect client(QPoint(), size);
    client.moveCenter(centre);
    client.moveTo(std::clamp(client.x(), room.left(), room.left() + room.width() - client.width()),
                  std::clamp(client.y(), room.top(), room.top() + room.height() - client.height()));
    return client;
}

QScrollArea* wrapControls(QWidget* window, QSize extent)
{
    QPixmap background = paintedBackground(window);
    const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);

    // Made inside the window before the controls move: they stay in its focus chain, in order.
    auto* area = new QScrollArea(window);
    area->setObjectName(kAreaName);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus); // a click on a label leaves the focus where it was
    auto* surface = new DesignSurface(std::move(background));
    surface->setFixedSize(extent);
    area->setWidget(surface);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(QMargins());
    layout->addWidget(area);

    for (QWidget* control : controls) {
        if (control->isWindow())
            continue;
        const QRect place = control->geometry();
        const bool hidden = control->isHidden();
        control->setParent(surface);
        control->setGeometry(place);
        control->setVisible(!hidden);
    }
    surface->show();
    area->show();
    return area;
}

} // namespace

QScrollArea* screenFitArea(const QWidget* window)
{
    return window->findChild<QScrollArea*>(kAreaName, Qt::FindDirectChildrenOnly);
}

QScrollArea* fitToScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen || window->layout()) // a window with a layout sizes itself
        return nullptr;
    const QSize extent = designExtent(window);
    const QRect room = clientRoom(*screen);
    if (extent.width() <= room.width() && extent.height() <= room.height())
        return nullptr;

    // Where the window was placed, else the room's middle.
    const QPoint centre = window->testAttribute(Qt::WA_Moved) ? window->geometry().center() : room.center();
    QScrollArea* area = wrapControls(window, extent);
    const QSize bars(area->verticalScrollBar()->sizeHint().width(), area->horizontalScrollBar()->sizeHint().height());
    const QSize size = clientSize(extent, room.size(), bars);
    if (window->minimumSize() == window->maximumSize())
        window->setFixedSize(size); // a window of fixed size stays fixed, at the size that fits
    // A maximised window keeps the size its screen gives it; this is the size it is restored to.
    window->setGeometry(placeInRoom(size, room, centre));
    return area;
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        // Once, at the first show: a window keeps its form when it is shown again.
        if (window->isWindow() && window->windowType() == Qt::Window && !window->property(kFitDecided).toBool()) {
            window->setProperty(kFitDecided, true);
            fitToScreen(window);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zupfomat
