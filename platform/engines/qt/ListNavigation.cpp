#include "ListNavigation.h"

#include "platform/ListNavigation.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QPointer>
#include <QToolTip>
#include <utility>

namespace platform {

namespace {

struct LineOfView {
    QPointer<QListView> view; // a list may go before its window's history
    int row;
};

// The window's moves: one history for all its lists.
class Moves : public QObject {
public:
    explicit Moves(QObject* window) : QObject(window) { setObjectName(Name); }
    static constexpr const char* Name = "quorvale-moves";

    BackHistory<LineOfView> history;
    TypedPosition typed;
};

Moves& MovesOf(QWidget& view) {
    QWidget* window = view.window();
    auto* moves =
        dynamic_cast<Moves*>(window->findChild<QObject*>(Moves::Name, Qt::FindDirectChildrenOnly));
    return moves != nullptr ? *moves : *new Moves(window);
}

// Focuses the list on the line, selected and in view. A screen reader hears
// the line as after an arrow key: the view announces a new current line,
// and an unchanged one is announced here.
void MoveTo(QListView& view, int row) {
    const QModelIndex index = view.model()->index(row, 0);
    if (!index.isValid()) {
        return;
    }
    view.setFocus(Qt::OtherFocusReason);
    const bool same = view.currentIndex() == index;
    view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view.scrollTo(index);
    if (same && view.hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent focus(&view, QAccessible::Focus);
        focus.setChild(row);
        QAccessible::updateAccessibility(&focus);
    }
}

void Follow(QListView& view, const ListBox& lines, int row) {
    const ListBox::LineInList to = lines.Follow(row);
    if (to.list == nullptr) {
        return; // a heading, a blank line
    }
    auto* target = view.window()->findChild<QListView*>(QString::fromLatin1(to.list));
    if (target == nullptr) {
        return;
    }
    MovesOf(view).history.Push({&view, row});
    MoveTo(*target, to.index);
}

void GoBack(QListView& view) {
    Moves& moves = MovesOf(view);
    while (const std::optional<LineOfView> line = moves.history.Pop()) {
        if (!line->view.isNull()) {
            MoveTo(*line->view, line->row);
            return;
        }
    }
}

// Type-ahead: the line of the record at the position typed so far, or a
// beep and no move when this list has none.
void GoToTyped(QListView& view, const ListBox& lines, int digit) {
    Moves& moves = MovesOf(view);
    const std::int32_t position = moves.typed.Add(&view, digit, TypedPosition::Clock::now());
    const std::int32_t line = position >= 0 ? lines.LineOfPosition(position) : -1;
    if (line < 0) {
        QApplication::beep();
        return;
    }
    const int current = view.currentIndex().row();
    if (line == current) {
        return;
    }
    if (moves.typed.FirstMove() && current >= 0) {
        moves.history.Push({&view, current});
    }
    MoveTo(view, line);
}

// The digit typed, with or without Shift (some layouts need it) or from the
// keypad; -1 for any other key.
int DigitOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers others =
        event.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const QString text = event.text();
    if (others != Qt::NoModifier || text.size() != 1 || text[0] < u'0' || text[0] > u'9') {
        return -1;
    }
    return text[0].unicode() - u'0';
}

// The frame's tooltip over its caption only: over the list, a line without
// a tip shows none, as before.
class CaptionTip : public QObject {
public:
    CaptionTip(QWidget& frame, const QWidget& list) : QObject(&frame), list_(list) {
        frame.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*frame*/, QEvent* event) override {
        if (event->type() != QEvent::ToolTip ||
            static_cast<QHelpEvent*>(event)->pos().y() < list_.geometry().top()) {
            return false;
        }
        QToolTip::hideText();
        return true;
    }

private:
    const QWidget& list_;
};

} // namespace

bool NavigateByKey(QListView& view, const ListBox& lines, const QKeyEvent& event) {
    if (!lines.Navigates()) {
        return false;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        Follow(view, lines, view.currentIndex().row());
        return true;
    }
    if ((key == Qt::Key_Left && modifiers == Qt::AltModifier) ||
        (key == Qt::Key_Backspace && modifiers == Qt::NoModifier)) {
        GoBack(view);
        return true;
    }
    // Before the view's own keyboard search, which would look for the digit
    // at the start of a line.
    if (const int digit = DigitOf(event); digit >= 0) {
        GoToTyped(view, lines, digit);
        return true;
    }
    return false;
}

void FollowOnDoubleClick(QListView& view, const ListBox& lines) {
    QObject::connect(&view, &QAbstractItemView::doubleClicked, &view,
                     [&view, &lines](const QModelIndex& index) {
                         if (lines.Navigates()) {
                             Follow(view, lines, index.row());
                         }
                     });
}

void ShowCounts(const Form& form, QWidget& window) {
    for (const ControlDescription& control : form.Description().controls) {
        if (control.kind != ControlKind::ListBox) {
            continue;
        }
        const ListBox& lines = form.ListBoxNamed(control.name);
        auto* list = window.findChild<QListView*>(QString::fromStdString(control.name));
        if (!lines.Navigates() || list == nullptr) {
            continue;
        }
        // The program's own words and numbers, never data text.
        const std::string counts = lines.Counts();
        list->setAccessibleDescription(
            QString::fromStdString(DescriptionWithCounts(control.description, counts)));
        if (QWidget* frame = list->parentWidget(); frame != &window) {
            frame->setToolTip(QString::fromStdString(counts));
            new CaptionTip(*frame, *list);
        }
    }
}

} // namespace platform
