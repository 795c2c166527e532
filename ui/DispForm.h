#pragma once

#include "link/LinkViews.h"

#include <QWidget>

class Module1;
class QLabel;
class QPushButton;

// The small modeless window that echoes the last command sent (Label1) and a
// number from reply handling or from stopping the sampling (Label2). "Done"
// only hides it; a close request from the window system discards it.
class DispForm : public QWidget, public EchoPanel {
    Q_OBJECT

public:
    explicit DispForm(Module1& module, QWidget* parent = nullptr);

    // EchoPanel. Label1 shows every byte of the command, unprintable ones too.
    void setLabel1(const QByteArray& command) override;
    void setLabel2(const QString& text) override;

    // Empties Label2, then Label1, as opening the window does.
    void clearLines();

    // Done: hide, then stop echoing.
    void Command1_Click();

private:
    void buildLayout();
    void wireHandlers();

    Module1& m_module;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QPushButton* m_command1 = nullptr;
};
