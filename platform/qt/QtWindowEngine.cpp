#include "../src/TextMode.h"
#include "../src/WindowEngine.h"
#include "FormWindow.h"
#include "platform/Form.h"
#include "platform/FormLayout.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QListView>
#include <QMessageBox>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

namespace platform {

namespace {

int ToPixels(int twips) {
    return twips / TwipsPerPixelAt96Dpi;
}

int ToTwips(int pixels) {
    return pixels * TwipsPerPixelAt96Dpi;
}

QRect ToPixels(const TwipRect& rect) {
    return QRect(ToPixels(rect.left), ToPixels(rect.top), ToPixels(rect.width),
                 ToPixels(rect.height));
}

// Presents a list box's lines without copying them into widget items.
class ListBoxModel : public QAbstractListModel {
public:
    ListBoxModel(const ListBox& lines, QObject* parent)
        : QAbstractListModel(parent), lines_(lines), longestRow_(FindLongestRow(lines)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : lines_.ListCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) {
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
    static int FindLongestRow(const ListBox& lines) {
        int longest = 0;
        std::size_t longestSize = 0;
        ListBox::LineBuffer scratch;
        for (std::int32_t row = 0; row < lines.ListCount(); ++row) {
            const std::size_t size = lines.Line(row, scratch).size();
            if (size > longestSize) {
                longest = row;
                longestSize = size;
            }
        }
        return longest;
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

private:
    const ListBoxModel& model_;
};

QListView* CreateListView(const ListBox& lines, QWidget* parent) {
    auto* view = new QListView(parent);
    view->setUniformItemSizes(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* model = new ListBoxModel(lines, view);
    view->setItemDelegate(new LongestLineDelegate(*model, view));
    view->setModel(model);
    return view;
}

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
            widget = CreateListView(form.ListBoxNamed(control.name), parent);
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
    const QSize designed(ToPixels(description_.clientWidth), ToPixels(description_.clientHeight));
    setMinimumSize(designed);
    resize(designed);
}

void FormWindow::resizeEvent(QResizeEvent* event) {
    const std::vector<TwipRect> layout =
        LayoutForm(description_, ToTwips(event->size().width()), ToTwips(event->size().height()));
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->setGeometry(ToPixels(layout[i]));
    }
    QWidget::resizeEvent(event);
}

void ShowFailureDialog(const QString& title, const QString& message) {
    QMessageBox::critical(nullptr, title, message);
}

std::unique_ptr<FormWindow> LoadAndShow(const ProjectDescription& project,
                                        std::unique_ptr<Form>& form, const FailureDialog& dialog) {
    form = LoadStartupForm(project, [&](const std::string& message) {
        dialog(QString::fromStdString(project.title), QString::fromStdString(message));
    });
    if (!form) {
        return nullptr;
    }
    auto window = std::make_unique<FormWindow>(*form);
    window->show();
    return window;
}

int RunFormWindow(const ProjectDescription& project, int argc, char** argv) {
    return RunFormWindow(project, argc, argv, ShowFailureDialog);
}

int RunFormWindow(const ProjectDescription& project, int argc, char** argv,
                  const FailureDialog& dialog) {
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "%s: no display is available (DISPLAY is not set).\n"
                     "Use '%s --text' to print the lists instead.\n",
                     project.name.c_str(), project.name.c_str());
        return 1;
    }
    std::optional<QApplication> application;
    if (QApplication::instance() == nullptr) {
        application.emplace(argc, argv);
    }
    // Ties the window to the installed desktop entry and its icon.
    const QString name = QString::fromStdString(project.name);
    QGuiApplication::setDesktopFileName(name);
    QApplication::setWindowIcon(QIcon::fromTheme(name));
    std::unique_ptr<Form> form;
    const std::unique_ptr<FormWindow> window = LoadAndShow(project, form, dialog);
    if (!window) {
        return 1;
    }
    return QApplication::exec();
}

} // namespace platform
