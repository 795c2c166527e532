#pragma once

#include <QWidget>
#include <array>

class Module1;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class SliderControl;

// The analog output window: a channel, a value in millivolts typed or taken
// from a coarse and a fine slider, and "Set" to send it. Done only hides the
// window; the title-bar close destroys it (Qt::WA_DeleteOnClose), and the
// owner builds a fresh one on the next opening.
class Form3 : public QWidget {
    Q_OBJECT

public:
    explicit Form3(Module1& module, QWidget* parent = nullptr);

    // The channel box, set by the opener from DacChan.
    void setChannelBox(const QString& text);

    // Handlers, the same code the controls' notifications run.
    void ChCmd_Click(int index);
    void Command1_Click();          // Done
    void Command2_Click();          // Set
    void Slider1_Change();
    void Slider1_MouseDown();
    void Slider1_MouseUp();
    void Slider2_Change();
    void Slider2_MouseDown();
    void Slider2_MouseUp();
    void Slider2_Click();
    void Timer1_Timer();
    // The digit filter on a typed character code: sets KeyAscii to 0 for
    // anything but Backspace and the digits, which discards the key.
    void Text1_KeyPress(int& KeyAscii);
    // The character code a key would type, or -1 for a key that types none
    // (arrows, Home, End, Delete, Tab, the modifiers).
    static int keyAscii(const QKeyEvent& event);

    bool trackingOn() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void wireHandlers();
    void sliderSumToText1();
    // Puts Text1 and both sliders on a value in millivolts.
    void showValue(int millivolts);

    Module1& m_module;
    bool m_placed = false;

    QLabel* m_label5 = nullptr;
    std::array<QLabel*, 3> m_anaOut{};
    QLineEdit* m_text1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    SliderControl* m_slider1 = nullptr;
    SliderControl* m_slider2 = nullptr;
    QLabel* m_label3 = nullptr;
    std::array<QPushButton*, 4> m_chCmd{};
    QLineEdit* m_chbox = nullptr;
    QLabel* m_label4 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command1 = nullptr;
    QTimer* m_timer1 = nullptr;
};
