#include "FormWindow.h"
#include "ListNavigation.h"
#include "Surroundings.h"
#include "platform/FocusMark.h"
#include "platform/Form.h"
#include "platform/FormLayout.h"
#include "platform/Memory.h"
#include "platform/Text.h"

#include <QAbstractListModel>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace platform {

namespace {

int ToPixels(int twips) {
    return twips / TwipsPerPixelAt96Dpi;
}

int ToTwips(int pixels) {
    return pixels * TwipsPerPixelAt96Dpi;
}

// The form's font at its own size, in the geometry's unit (a point is 20
// twips, a pixel 15): whatever the desktop's font size or logical DPI, the
// lines fit as designed, and the device pixel ratio (QT_SCALE_FACTOR, the
// screen's resolution) scales text and geometry alike. Only the size is set:
// the family stays the desktop's.
QFont FormFont(const FormDescription& description, const QWidget& window) {
    QFont font;
    if (description.fontPoints > 0) {
        const double pixels =
            static_cast<double>(description.fontPoints) * TwipsPerPoint / TwipsPerPixelAt96Dpi;
        font.setPointSizeF(pixels * 72.0 / window.logicalDpiY());
    }
    return font;
}

QRect ToPixels(const TwipRect& rect) {
    return QRect(ToPixels(rect.left), ToPixels(rect.top), ToPixels(rect.width),
                 ToPixels(rect.height));
}

// A grey a quarter of the way from the list's background to its text,
// whatever the theme.
QColor RestingSelection(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    auto quarter = [](int from, int to) { return from + (to - from) / 4; };
    return QColor(quarter(base.red(), text.red()), quarter(base.green(), text.green()),
                  quarter(base.blue(), text.blue()));
}

Rgb ToRgb(const QColor& colour) {
    return {colour.red(), colour.green(), colour.blue()};
}

// Presents a list box's lines without copying them into widget items.
class ListBoxModel : public QAbstractListModel {
public:
    ListBoxModel(const ListBox& lines, QObject* parent)
        : QAbstractListModel(parent), lines_(lines), longestRow_(lines.LongestLine()) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : lines_.ListCount();
    }

    // The view asks for the index of every row when it lays them out; the
    // inherited check costs two more virtual calls per row.
    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override {
        const bool exists =
            row >= 0 && row < lines_.ListCount() && column == 0 && !parent.isValid();
        return exists ? createIndex(row, 0) : QModelIndex();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        // A screen reader reads the tip as the line's description.
        if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
            return Tip(index.row());
        }
        if (role != Qt::DisplayRole) {
            return {};
        }
        ListBox::LineBuffer scratch;
        const std::string_view line = lines_.Line(index.row(), scratch);
        return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    }

    // The row with the most characters: it stands for the widest line, so
    // that the width is found without measuring every line.
    int LongestRow() const { return longestRow_; }

private:
    // Tips are the program's own words and numbers, never data text.
    QVariant Tip(int row) const {
        if (!lines_.HasTips()) {
            return {};
        }
        const std::string tip = lines_.Tip(row);
        if (tip.empty()) {
            return {};
        }
        return QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size()));
    }

    const ListBox& lines_;
    int longestRow_;
};

// With uniform item sizes the view asks for one size and uses it for every
// row. Answering with the longest line's size gives the horizontal scroll
// bar its full extent.
class LongestLineDelegate : public QStyledItemDelegate {
public:
    LongestLineDelegate(const ListBoxModel& model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (model_.rowCount(QModelIndex()) == 0) {
            return QStyledItemDelegate::sizeHint(option, index);
        }
        return QStyledItemDelegate::sizeHint(option, model_.index(model_.LongestRow()));
    }

    // Qt draws every selection of an active window alike; the selection of
    // a list without the focus is drawn at rest, so that the focused one
    // stands out.
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (option.widget == nullptr || option.widget->hasFocus()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem resting(option);
        resting.palette.setColor(QPalette::Highlight, RestingSelection(option.palette));
        resting.palette.setColor(QPalette::HighlightedText, option.palette.color(QPalette::Text));
        QStyledItemDelegate::paint(painter, resting, index);
    }

private:
    const ListBoxModel& model_;
};

} // namespace

QColor FocusMarkColour(const QPalette& palette) {
    const Rgb mark = FocusMarkColour(ToRgb(palette.color(QPalette::Active, QPalette::Highlight)),
                                     ToRgb(palette.color(QPalette::Active, QPalette::Text)),
                                     ToRgb(palette.color(QPalette::Active, QPalette::Base)));
    return QColor(mark.red, mark.green, mark.blue);
}

ListView::ListView(const ListBox& lines, QWidget* parent) : QListView(parent), lines_(lines) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* model = new ListBoxModel(lines, this);
    setItemDelegate(new LongestLineDelegate(*model, this));
    setModel(model);
    FollowOnDoubleClick(*this, lines);
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (NavigateByKey(*this, lines_, *event)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::WhatsThis)) {
        ShowCurrentTip();
    } else if (event->key() == Qt::Key_C &&
               event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
        const std::string lines = lines_.AllLines();
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(lines.data(), static_cast<qsizetype>(lines.size())));
    } else {
        // Ctrl+C, the current line, is the view's own.
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
}

// Below the line, where the mouse would bring it up.
void ListView::ShowCurrentTip() {
    const QModelIndex current = currentIndex();
    const QString tip = current.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    const QRect line = visualRect(current);
    QToolTip::showText(viewport()->mapToGlobal(line.topLeft()), tip, viewport(), line);
}

void ListView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    const QRect area = viewport()->rect();
    const int width = FocusMarkWidth;
    QPainterPath frame; // filled odd-even: the band between the two
    frame.addRect(area);
    frame.addRect(area.adjusted(width, width, -width, -width));
    QPainter(viewport()).fillPath(frame, FocusMarkColour(palette()));
}

// The mark lies on the edges: it must not scroll with the lines, nor stay
// when the focus goes.
void ListView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    if (hasFocus()) {
        viewport()->update();
    }
}

void ListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    viewport()->update();
    // Qt tells assistive technology of the current line when the view makes
    // one current, and then of the list itself, which a screen reader takes
    // as the focus: the line is told again after that, once the focus has
    // settled, so that Tab into a list reads its line as the arrows do.
    if (QAccessible::isActive()) {
        QMetaObject::invokeMethod(this, &ListView::AnnounceCurrentLine, Qt::QueuedConnection);
    }
}

void ListView::AnnounceCurrentLine() {
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid()) {
        return;
    }
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(current.row()); // one column: a line's child is its row
    QAccessible::updateAccessibility(&focus);
}

void ListView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    viewport()->update();
}

namespace {

// The icon sizes built into the program as resources.
constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Long enough for a slow remote display, short enough that a silent one
// does not look like a hang.
constexpr unsigned DisplayTimeoutSeconds = 8;

bool HasDisplay() {
    if (std::getenv("QT_QPA_PLATFORM") != nullptr) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

} // namespace

FormWindow::FormWindow(const Form& form) : description_(form.Description()) {
    setWindowTitle(QString::fromStdString(description_.caption));
    setWindowIcon(ProgramIcon());
    setFont(FormFont(description_, *this));
    std::map<std::string, QWidget*> containers{{std::string(), this}};
    std::map<int, QWidget*> tabOrder;
    for (const auto& control : description_.controls) {
        QWidget* parent = containers.at(control.container);
        QWidget* widget = nullptr;
        if (control.kind == ControlKind::Frame) {
            auto* frame = new QGroupBox(QString::fromStdString(control.caption), parent);
            frame->setFocusPolicy(Qt::NoFocus);
            containers[control.name] = frame;
            widget = frame;
        } else {
            widget = new ListView(form.ListBoxNamed(control.name), parent);
            widget->setAccessibleName(
                QString::fromStdString(AccessibleName(description_, control)));
            widget->setAccessibleDescription(QString::fromStdString(control.description));
            tabOrder[control.tabIndex] = widget;
        }
        widget->setObjectName(QString::fromStdString(control.name));
        controls_.push_back(widget);
    }
    QWidget* previous = nullptr;
    for (const auto& [index, widget] : tabOrder) {
        if (previous != nullptr) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }
    // Ctrl+Q and Ctrl+W close the window, as in other programs; closing the
    // last window ends the run with status 0.
    for (const char* keys : {"Ctrl+Q", "Ctrl+W"}) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    // On a screen too small for it, the window opens as large as the screen
    // allows, and never smaller.
    const QSize designed(ToPixels(description_.clientWidth), ToPixels(description_.clientHeight));
    const QSize opening = designed.boundedTo(screen()->availableSize());
    setMinimumSize(opening);
    resize(opening);
    ShowCounts(form, *this);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
    const std::vector<TwipRect> layout =
        LayoutForm(description_, ToTwips(event->size().width()), ToTwips(event->size().height()));
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->setGeometry(ToPixels(layout[i]));
    }
    QWidget::resizeEvent(event);
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : IconSizes) {
        icon.addFile(QStringLiteral(":/quorvale/icons/quorvale-%1.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

void DescribeApplication(const EngineHost& host) {
    QCoreApplication::setApplicationName(QString::fromStdString(host.name));
    QCoreApplication::setApplicationVersion(QString::fromStdString(host.version));
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(host.title));
    // Ties the window to the installed desktop entry.
    QGuiApplication::setDesktopFileName(QString::fromStdString(host.name));
    QApplication::setWindowIcon(ProgramIcon());
}

void ShowFailureDialog(const QString& title, const QString& message) {
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok);
    // The message quotes the data file and its name: never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QtWindowEngine::QtWindowEngine(EngineHost host, FailureDialog dialog)
    : host_(std::move(host)), dialog_(std::move(dialog)) {}

QtWindowEngine::~QtWindowEngine() = default;

std::string QtWindowEngine::Open(int& argc, char** argv) {
    if (!HasDisplay()) {
        return "no display is set (DISPLAY and WAYLAND_DISPLAY are empty)";
    }
    if (QApplication::instance() == nullptr) {
        std::string failure;
        if (!EnoughDescriptorsForWindow(failure)) {
            return failure;
        }
        UseExistingRuntimeDirectory();
        UseNoSessionBusUnlessSet();
        ShareOneHeap(); // before the toolkit starts its threads
        InstallMessagePolicy(host_.name);
        const DisplayTimeout timeout(host_.name, DisplayTimeoutSeconds);
        application_.emplace(argc, argv);
    }
    DescribeApplication(host_);
    return {};
}

void QtWindowEngine::ShowFailure(const std::string& message) {
    dialog_(QString::fromStdString(host_.title), QString::fromStdString(message));
}

std::string QtWindowEngine::ShowForm(const Form& form) {
    window_ = std::make_unique<FormWindow>(form);
    window_->show();
    GuardWindow(*window_);
    return {};
}

int QtWindowEngine::Run() {
    return QApplication::exec();
}

} // namespace platform

// The module's one entry point, which the start routine looks up by name:
// the engine with the program's own failure dialog.
extern "C" platform::WindowEngine* QuorvaleCreateWindowEngine(const platform::EngineHost& host) {
    return new platform::QtWindowEngine(host, platform::ShowFailureDialog);
}
