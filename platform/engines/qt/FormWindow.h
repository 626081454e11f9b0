#pragma once

// Internal to the platform layer and its own tests and benchmarks: the Qt
// realisation of a loaded form.

#include "WindowEngine.h"
#include "platform/Form.h"

#include <QApplication>
#include <QIcon>
#include <QListView>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A list box as a list view over its lines. Besides the view's own keys:
// Shift+F1 (What's This) shows the current line's tip at the line, Ctrl+C
// copies the current line and Ctrl+Shift+C every line. The list with the
// focus has a frame of FocusMarkColour; the selection of the others is
// drawn at rest, in grey. A line's tip is also its accessible description;
// reached by Tab, the list tells assistive technology its current line last.
class ListView : public QListView {
public:
    ListView(const ListBox& lines, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ShowCurrentTip();
    // Tells assistive technology that the current line has the focus.
    void AnnounceCurrentLine();

    const ListBox& lines_;
};

// The colour of the frame that marks the focused list.
QColor FocusMarkColour(const QPalette& palette);

// A form as a top-level widget: frames as group boxes, list boxes as list
// views over the form's lines. The client area has the designed size, which
// is also the smallest size, unless the screen is smaller: then the window
// opens as large as the screen's available area. Resizing follows LayoutForm.
class FormWindow : public QWidget {
public:
    explicit FormWindow(const Form& form);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const FormDescription& description_;
    std::vector<QWidget*> controls_; // parallel to description_.controls
};

// The program's icon in every size it is drawn at, from resources built into
// the program: it needs no image plugin and no installed theme.
QIcon ProgramIcon();

// Names the running application after the program: name, version, display
// name, desktop entry and icon.
void DescribeApplication(const EngineHost& host);

// Shows a fatal error to the user: title and message.
using FailureDialog = std::function<void(const QString& title, const QString& message)>;

// The modal message box that the program uses.
void ShowFailureDialog(const QString& title, const QString& message);

// The window engine on Qt. Open makes the QApplication, unless one is
// running already (as in tests); ShowForm creates and shows the window; Run
// runs the event loop until the window is closed.
class QtWindowEngine : public WindowEngine {
public:
    QtWindowEngine(EngineHost host, FailureDialog dialog);
    ~QtWindowEngine() override;

    std::string Open(int& argc, char** argv) override;
    void ShowFailure(const std::string& message) override;
    std::string ShowForm(const Form& form) override;
    int Run() override;

    FormWindow* Window() const { return window_.get(); }

private:
    EngineHost host_;
    FailureDialog dialog_;
    std::optional<QApplication> application_;
    std::unique_ptr<FormWindow> window_; // goes before the application
};

} // namespace platform
