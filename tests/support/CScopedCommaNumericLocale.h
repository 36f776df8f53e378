#pragma once

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/CTempDir.h"

// Runs a test under a numeric locale with a decimal comma, as a host whose user runs a German
// desktop does once Qt has taken the locale from the environment. Compiled into a temporary
// folder with localedef; inactive where the system cannot compile locales.
class CScopedCommaNumericLocale {
public:
    CScopedCommaNumericLocale() : m_previous(std::setlocale(LC_NUMERIC, nullptr))
    {
        const std::string source = m_dir.File("comma.src");
        std::ofstream(source)
            << "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
               "grouping 3;3\nEND LC_NUMERIC\n";
        const std::string command = "localedef -c -i '" + source + "' -f UTF-8 '" +
                                    m_dir.File("comma.UTF-8") + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1)
            return;
        setenv("LOCPATH", m_dir.Path().c_str(), 1);
        m_bActive = std::setlocale(LC_NUMERIC, "comma.UTF-8") != nullptr;
    }
    ~CScopedCommaNumericLocale()
    {
        std::setlocale(LC_NUMERIC, m_previous.c_str());
        unsetenv("LOCPATH");
    }
    bool Active() const { return m_bActive; }

private:
    CTempDir m_dir;
    std::string m_previous;
    bool m_bActive = false;
};
