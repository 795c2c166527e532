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
