#pragma once

#include "link/LinkViews.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <string>

// The link's views for tests: records everything the link paints and fills in
// the windows. Where a test has a real window for a part (the settings dialog,
// the echo window), it hands that in and the calls go there instead.
class RecordingViews final : public LinkViews, MainPanel, PortChooser, EchoPanel {
public:
    // One paint of a handshake lamp, in order.
    struct Paint {
        int lamp;            // 1 or 3
        Colour colour;
        bool dialogShown;    // what dialogShown() said when it was painted
    };

    // --- Configure (every part is optional).
    PortChooser* chooser = nullptr;             // a real settings dialog
    std::function<EchoPanel&()> echo;           // a real echo window, made when asked for
    std::function<void()> onSettingsModal;      // what showing the dialog does
    std::function<bool()> ended;                // programEnded()
    std::function<bool()> dialogShown;          // recorded with each lamp paint

    // --- LinkViews.
    MainPanel& mainPanel() override { return *this; }
    PortChooser& portChooser() override { return chooser ? *chooser : *this; }
    EchoPanel& echoPanel() override;
    void showSettingsModal() override;
    bool programEnded() const override { return ended && ended(); }

    // --- Record.
    std::map<std::string, Colour> lamps;        // "Lite1", "Lite3", "DLite3".."DLite5"
    std::map<std::string, Colour> lampsAtModal; // the lamps when the dialog was shown
    QList<Paint> paints;                        // Lite1 and Lite3 only
    std::map<std::string, QString> texts;       // "DinTxt4", "ADValTxt0", "VolValTxt6", ...
    std::map<int, bool> comSelEnabled;
    int selectedPort = 0;
    int baudOption = 0;
    int modalShown = 0;
    int echoTouched = 0;
    QByteArray label1;
    QString label2 = QStringLiteral("untouched");

private:
    void paintLite1(Colour c) override { paintLineLamp(1, c); }
    void paintLite3(Colour c) override { paintLineLamp(3, c); }
    void paintDLite(int line, Colour c) override { lamps["DLite" + std::to_string(line)] = c; }
    void setDinTxt(int line, const QString& t) override { texts["DinTxt" + std::to_string(line)] = t; }
    void setADValTxt(int ch, const QString& t) override { texts["ADValTxt" + std::to_string(ch)] = t; }
    void setVolValTxt(int ch, const QString& t) override { texts["VolValTxt" + std::to_string(ch)] = t; }

    void setComSelEnabled(int port, bool enabled) override { comSelEnabled[port] = enabled; }
    void describeComSel(int, const QString&, PortProblem) override {}
    void selectComSel(int port) override { selectedPort = port; }
    void selectBaudOption(int option) override { baudOption = option; }

    void setLabel1(const QByteArray& command) override { label1 = command; }
    void setLabel2(const QString& text) override { label2 = text; }

    void paintLineLamp(int lamp, Colour colour);
};
