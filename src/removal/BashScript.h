#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// A shell script that a removal runs outside its own process (BashTask), as
// the user or with administrator rights. Its text is made when asked for,
// on a background queue when the script allows it.
class BashScript {
public:
    virtual ~BashScript() = default;
    virtual std::string text() const = 0;
    virtual bool requireAdminPrivileges() const = 0;
    virtual bool allowBackgroundBuild() const = 0;

    // A path (or any argument) as one word of a POSIX shell, exactly: in
    // single quotes, within which the shell takes every byte as it is (a
    // line break, "$", "`", "\\", "\"", bytes that are not UTF-8) but the
    // quote itself, which is written '\''. Arguments never begin with "-"
    // here, and every command also gets "--" before its paths.
    static std::string quoted(std::string_view argument);
};

// A script whose text is given.
class CustomBashScript final : public BashScript {
public:
    CustomBashScript(std::string script, bool requireAdminPrivileges, bool allowBackgroundBuild)
        : m_script(std::move(script)), m_requireAdmin(requireAdminPrivileges), m_allowBackground(allowBackgroundBuild) {}

    std::string text() const override { return m_script; }
    bool requireAdminPrivileges() const override { return m_requireAdmin; }
    bool allowBackgroundBuild() const override { return m_allowBackground; }

private:
    std::string m_script;
    bool m_requireAdmin;
    bool m_allowBackground;
};

}  // namespace kestrane
