#include "app/ZoltProgram.h"

#include "app/Form1.h"
#include "link/SerialControl.h"
#include "platform/SystemTools.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

ZoltProgram::ZoltProgram(std::unique_ptr<SerialControl> comm, std::function<void()> onEnd)
    : m_comm(std::move(comm))
    , m_module(*m_comm, *this)
    , m_onEnd(std::move(onEnd))
{
}

ZoltProgram::~ZoltProgram()
{
    // The windows go with the main window, their parent.
    m_form1.reset();
    m_comm->setPortOpen(false);
}

void ZoltProgram::start()
{
    form1().Form_Load();
}

void ZoltProgram::End()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_form1)
        m_form1->stopTimer();
    m_comm->setPortOpen(false);
    if (m_serialMenu && m_serialMenu->isVisible())
        m_serialMenu->done(0);
    if (m_onEnd)
        m_onEnd();
}

Form1& ZoltProgram::form1()
{
    if (!m_form1) {
        m_form1 = std::make_unique<Form1>(m_module, *m_comm);
        initActionsConnections();
    }
    return *m_form1;
}

namespace {

void bringForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void ZoltProgram::initActionsConnections()
{
    Form1* main = m_form1.get();
    QObject::connect(main, &Form1::exitRequested, main, [this] { End(); });
    QObject::connect(main, &Form1::echoWindowRequested, main, [this] { bringForward(dispForm()); });
    QObject::connect(main, &Form1::analogOutputWindowRequested, main, [this](const QString& channelText) {
        Form3& outputs = form3();
        outputs.setChannelBox(channelText);
        bringForward(outputs);
    });
    QObject::connect(main, &Form1::aboutRequested, main, [this] { bringForward(about()); });
}

SerialMenu& ZoltProgram::serialMenu()
{
    if (!m_serialMenu)
        m_serialMenu = new SerialMenu(m_module, [this] { End(); }, &form1());
    return *m_serialMenu;
}

DispForm& ZoltProgram::dispForm()
{
    if (!m_dispForm)
        m_dispForm = new DispForm(m_module, &form1());
    return *m_dispForm;
}

Form3& ZoltProgram::form3()
{
    if (!m_form3)
        m_form3 = new Form3(m_module, &form1());
    return *m_form3;
}

frmAbout& ZoltProgram::about()
{
    if (!m_about)
        m_about = new frmAbout(m_tools ? *m_tools : platformSystemTools(), &form1());
    return *m_about;
}

MainPanel& ZoltProgram::mainPanel() { return form1(); }
PortChooser& ZoltProgram::portChooser() { return serialMenu(); }
EchoPanel& ZoltProgram::echoPanel() { return dispForm(); }

void ZoltProgram::showSettingsModal()
{
    serialMenu().showModal();
}
