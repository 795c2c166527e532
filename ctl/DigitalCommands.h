#pragma once

// din: digital lines 3 to 5. dout on|off: the digital output line set, then
// the lines read back, as ZOLTrc's Set High and Set Low do.

#include "ctl/Command.h"

namespace zoltctl {

class DinCommand final : public LinkCommand {
public:
    DinCommand();

private:
    ExitStatus run(front::ModuleLink& link) override;
};

class DoutCommand final : public LinkCommand {
public:
    DoutCommand();
    bool high() const { return m_high; }

private:
    QString takeOwn(const QCommandLineParser& parser, const QStringList& arguments) override;
    ExitStatus run(front::ModuleLink& link) override;

    bool m_high = false;
};

} // namespace zoltctl
