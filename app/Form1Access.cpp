// What assistive technology hears of the main window: a name for every
// control, text box and lamp, taken from its caption or the label beside it,
// and for every lamp what each of its colours means.

#include "app/Form1.h"

#include "app/Form1Layout.h"
#include "link/Module1.h"
#include "widgets/Lamp.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kHigh = QStringLiteral("high");
const QString kLow = QStringLiteral("low");
const QString kNotRead = QStringLiteral("not read yet");

// The digital lines by the words of the frame caption above their columns.
QString lineName(int line)
{
    switch (line) {
    case 3:
        return QStringLiteral("Digital output Out");
    case 4:
        return QStringLiteral("Digital input D0");
    default:
        return QStringLiteral("Digital input D1");
    }
}

} // namespace

void Form1::describeControls()
{
    const Lamp::Colour grey = form1layout::kDLite3Grey | form1layout::kDLite3Grey << 8
                              | form1layout::kDLite3Grey << 16;

    for (int i = 0; i < kChannels; ++i) {
        ADCmdbut[i]->setAccessibleName(QStringLiteral("Channel %1").arg(i));
        ADCmdbut[i]->setAccessibleDescription(
            i == 0 ? QStringLiteral("Reads channel 0") : QStringLiteral("Reads channels 0 to %1").arg(i));
        ChLite[i]->setAccessibleName(QStringLiteral("Channel %1 lamp").arg(i));
        ChLite[i]->setMeanings({{kColGreen, QStringLiteral("read")}, {kColBlack, QStringLiteral("not read")}},
                               QStringLiteral("no channel chosen yet"));
        ADValTxt[i]->setAccessibleName(QStringLiteral("Channel %1 reading, counts").arg(i));
        VolValTxt[i]->setAccessibleName(QStringLiteral("Channel %1 reading, millivolts").arg(i));
    }

    for (int line = kFirstLine; line <= kLastLine; ++line) {
        DLite[line]->setAccessibleName(lineName(line) + QStringLiteral(" line"));
        DLite[line]->setMeanings({{kColGreen, kHigh}, {kColBlack, kLow}, {grey, kNotRead}}, kNotRead);
        DinTxt[line]->setAccessibleName(lineName(line) + QStringLiteral(", value"));
    }
    Command1->setAccessibleName(QStringLiteral("Digital output On/Off"));
    nameCommand7();

    SamLite[0]->setAccessibleName(QStringLiteral("Digital reading"));
    SamLite[0]->setMeanings({{kColGreen, QStringLiteral("reading in progress")},
                             {kColRed, QStringLiteral("switched on, sampling stopped")},
                             {kColBlack, QStringLiteral("off")}},
                            QStringLiteral("off"));
    SamLite[1]->setAccessibleName(QStringLiteral("Analog sampling"));
    SamLite[1]->setMeanings({{kColGreen, QStringLiteral("reading in progress")},
                             {kColRed, QStringLiteral("sampling stopped")},
                             {kColBlack, QStringLiteral("idle")}},
                            QStringLiteral("idle"));
    Command13->setAccessibleName(QStringLiteral("D-in, read the digital lines"));
    Command3->setAccessibleName(QStringLiteral("A/D-in, read the chosen channels"));
    // The pictures stand for the labels beside them.
    Command12->setAccessibleName(QStringLiteral("Start Samples"));
    Command6->setAccessibleName(QStringLiteral("Stop"));
    Command4->setAccessibleName(QStringLiteral("Exit"));

    LiteXfer->setAccessibleName(QStringLiteral("Transfer status"));
    LiteXfer->setMeanings({{kColYellow, QStringLiteral("transfer in progress")},
                           {kColGreen, QStringLiteral("reply arriving")},
                           {kColBlack, QStringLiteral("idle")},
                           {kColRed, QStringLiteral("reply missed")}},
                          QStringLiteral("idle"));
    // Each lamp is named by the label beside it.
    Lite3->setAccessibleName(QStringLiteral("CTS line"));
    Lite1->setAccessibleName(QStringLiteral("DSR line"));
    for (Lamp* lamp : {Lite3, Lite1})
        lamp->setMeanings({{kColGreen, kHigh}, {kColBlack, kLow}}, kLow);
}

void Form1::nameCommand7()
{
    Command7->setAccessibleName(Command7->text() + QStringLiteral(", digital lines in each sampling cycle"));
}
