#pragma once

// The one place where the program is put together: the serial control it runs
// on, the shared state, and the windows, each created the first time anything
// touches it. ZOLTrc starts it on the real port; tests and the demo start it
// exactly the same way on another control.

#include "link/LinkViews.h"
#include "link/Module1.h"

#include <QPointer>
#include <functional>
#include <memory>

class SerialControl;
class SystemTools;
class Form1;
class SerialMenu;
class DispForm;
class Form3;
class frmAbout;

class ZoltProgram final : public LinkViews {
public:
    // onEnd runs once when the program ends (Exit, or the settings dialog with no
    // port); ZOLTrc leaves its event loop there.
    ZoltProgram(std::unique_ptr<SerialControl> comm, std::function<void()> onEnd = {});
    ~ZoltProgram() override;
    ZoltProgram(const ZoltProgram&) = delete;
    ZoltProgram& operator=(const ZoltProgram&) = delete;

    // Loads the main window: start-up as its load handler orders it.
    void start();
    // Ends the program at once: nothing sent, nothing saved, the port released.
    void End();
    bool programEnded() const override { return m_ended; }

    Module1& module() { return m_module; }
    SerialControl& comm() { return *m_comm; }

    Form1& form1();
    SerialMenu& serialMenu();
    DispForm& dispForm();
    Form3& form3();
    frmAbout& about();
    bool hasDispForm() const { return !m_dispForm.isNull(); }
    bool hasForm3() const { return !m_form3.isNull(); }
    bool hasAbout() const { return !m_about.isNull(); }

    // Registry, file test and program start for the About box; the platform's
    // own unless a test puts another in.
    void setSystemTools(SystemTools* tools) { m_tools = tools; }

    // LinkViews
    MainPanel& mainPanel() override;
    PortChooser& portChooser() override;
    EchoPanel& echoPanel() override;
    void showSettingsModal() override;

private:
    // What the main window asks for, wired in one place.
    void initActionsConnections();

    std::unique_ptr<SerialControl> m_comm;
    Module1 m_module;
    std::function<void()> m_onEnd;
    bool m_ended = false;
    SystemTools* m_tools = nullptr;

    std::unique_ptr<Form1> m_form1;
    QPointer<SerialMenu> m_serialMenu;
    QPointer<DispForm> m_dispForm;
    QPointer<Form3> m_form3;
    QPointer<frmAbout> m_about;
};
