#pragma once

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#include "fuzz/FuzzQuoteContext.h"

namespace VelkFuzz {

// The quote service and a Qt application on the offscreen platform, working in "<scratch>/bin"
// so that the windows find "../Dat/Alert" and "../SYS" in the scratch directory.
struct CUiContext : CQuoteContext {
    CUiContext()
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        Require(VelkCreateDirectories(dir.File("bin")) && VelkCreateDirectories(dir.File("SYS")) &&
                VelkCreateDirectories(dir.File("Dat/Alert")));
        Require(::chdir(dir.File("bin").c_str()) == 0);
        application = std::make_unique<QApplication>(argc, argv);
    }
    int argc = 1;
    char name[16] = "velk-fuzz";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
};

} // namespace VelkFuzz
