#include "../src/TextMode.h"
#include "../src/WindowEngine.h"
#include "platform/Form.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QGroupBox>
#include <QListView>
#include <QMessageBox>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

namespace platform {

namespace {

int ToPixels(int twips) {
    return twips / TwipsPerPixelAt96Dpi;
}

QRect ToPixels(const ControlDescription& control) {
    return QRect(ToPixels(control.left), ToPixels(control.top), ToPixels(control.width),
                 ToPixels(control.height));
}

// Presents a list box's lines without copying them into widget items.
class ListBoxModel : public QAbstractListModel {
public:
    explicit ListBoxModel(const ListBox& lines, QObject* parent)
        : QAbstractListModel(parent), lines_(lines) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : lines_.ListCount();
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) {
            return {};
        }
        const std::string_view line = lines_.List(index.row());
        return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    }

private:
    const ListBox& lines_;
};

class FormWindow : public QWidget {
public:
    FormWindow(const Form& form) {
        const FormDescription& description = form.Description();
        setWindowTitle(QString::fromStdString(description.caption));
        std::map<std::string, QWidget*> containers{{std::string(), this}};
        std::map<int, QWidget*> tabOrder;
        for (const auto& control : description.controls) {
            QWidget* parent = containers.at(control.container);
            QWidget* widget = nullptr;
            if (control.kind == ControlKind::Frame) {
                auto* frame = new QGroupBox(QString::fromStdString(control.caption), parent);
                frame->setFocusPolicy(Qt::NoFocus);
                containers[control.name] = frame;
                widget = frame;
            } else {
                auto* list = new QListView(parent);
                list->setUniformItemSizes(true);
                list->setSelectionMode(QAbstractItemView::SingleSelection);
                list->setEditTriggers(QAbstractItemView::NoEditTriggers);
                list->setModel(new ListBoxModel(form.ListBoxNamed(control.name), list));
                tabOrder[control.tabIndex] = list;
                widget = list;
            }
            widget->setObjectName(QString::fromStdString(control.name));
            widget->setGeometry(ToPixels(control));
        }
        QWidget* previous = nullptr;
        for (const auto& [index, widget] : tabOrder) {
            if (previous != nullptr) {
                setTabOrder(previous, widget);
            }
            previous = widget;
        }
        resize(ToPixels(description.clientWidth), ToPixels(description.clientHeight));
    }
};

bool HasDisplay() {
    if (std::getenv("QT_QPA_PLATFORM") != nullptr) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

} // namespace

int RunFormWindow(const ProjectDescription& project, int argc, char** argv) {
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "%s: no display is available (DISPLAY is not set).\n"
                     "Use '%s --text' to print the lists instead.\n",
                     project.name.c_str(), project.name.c_str());
        return 1;
    }
    QApplication application(argc, argv);
    std::optional<Form> form;
    try {
        form.emplace(project.startupForm);
        project.load(*form);
    } catch (const std::exception& error) {
        const std::string report = DescribeFailure(project, error);
        std::fprintf(stderr, "%s\n", report.c_str());
        QMessageBox::critical(nullptr, QString::fromStdString(project.title),
                              QString::fromStdString(error.what()));
        return 1;
    }
    FormWindow window(*form);
    window.show();
    return application.exec();
}

} // namespace platform
