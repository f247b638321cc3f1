// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/file_drop.h"

#include "player/form1.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tovimo::player {
namespace {

// Sits on the window and on each of its children that take drops of their
// own (the text boxes), so that one rule decides every drop.
class FileDropFilter : public QObject {
public:
    explicit FileDropFilter(Form1& form) : QObject(&form), form_(form) {}

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData() && droppedLocalFile(*drag->mimeData()))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::optional<QString> path =
                drop->mimeData() ? droppedLocalFile(*drop->mimeData()) : std::nullopt;
            if (!path) {
                drop->ignore();
                return true;
            }
            form_.Text2.setText(*path);
            drop->acceptProposedAction();
            return true;
        }
        default:
            return false;
        }
    }

private:
    Form1& form_;
};

} // namespace

std::optional<QString> droppedLocalFile(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return std::nullopt;
    const QFileInfo file(urls.first().toLocalFile());
    if (!file.isFile())
        return std::nullopt;
    return file.absoluteFilePath();
}

void acceptFileDrops(Form1& form) {
    auto* filter = new FileDropFilter(form);
    form.setAcceptDrops(true);
    form.installEventFilter(filter);
    const auto children = form.findChildren<QWidget*>();
    for (QWidget* child : children)
        if (child->acceptDrops())
            child->installEventFilter(filter);
}

} // namespace tovimo::player
