#include "tests/support/RecordingViews.h"

EchoPanel& RecordingViews::echoPanel()
{
    ++echoTouched;
    if (echo)
        return echo();
    return *this;
}

void RecordingViews::showSettingsModal()
{
    ++modalShown;
    lampsAtModal = lamps;
    if (onSettingsModal)
        onSettingsModal();
}

void RecordingViews::paintLineLamp(int lamp, Colour colour)
{
    lamps["Lite" + std::to_string(lamp)] = colour;
    paints.append({lamp, colour, dialogShown && dialogShown()});
}

void RecordingViews::paintLite1(Colour colour) { paintLineLamp(1, colour); }
void RecordingViews::paintLite3(Colour colour) { paintLineLamp(3, colour); }

void RecordingViews::paintDLite(int line, Colour colour)
{
    lamps["DLite" + std::to_string(line)] = colour;
}

void RecordingViews::setDinTxt(int line, const QString& text)
{
    texts["DinTxt" + std::to_string(line)] = text;
}

void RecordingViews::setADValTxt(int channel, const QString& text)
{
    texts["ADValTxt" + std::to_string(channel)] = text;
}

void RecordingViews::setVolValTxt(int channel, const QString& text)
{
    texts["VolValTxt" + std::to_string(channel)] = text;
}
