#pragma once
// One QApplication for the whole test binary, made after the shared test main has isolated the
// per-user folders and chosen the offscreen platform. Include this header in any test file of a
// binary that needs widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>

#include <QRect>
#include <QSize>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

// Readable rectangles and sizes in test failures.
inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << "QRect(" << rect.x() << ", " << rect.y() << ", " << rect.width() << ", " << rect.height() << ")";
}

inline void PrintTo(const QSize& size, std::ostream* out)
{
    *out << "QSize(" << size.width() << ", " << size.height() << ")";
}

namespace quillon::test {

class QtTestEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        UseALargeOffscreenScreen();
        static int argc = 1;
        static char name[] = "quillon-tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }

    void TearDown() override { m_app.reset(); }

private:
    // The offscreen platform's own screen is 800 x 600, smaller than the main window at many
    // fonts and scales; the tests run on a screen of 3840 x 2400 device pixels (1920 x 1200 at
    // QT_SCALE_FACTOR=2), as a desktop has.
    static void UseALargeOffscreenScreen()
    {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const char* home = std::getenv("QUILLON_TEST_HOME");
        if (!platform || std::string(platform) != "offscreen" || !home)
            return;
        const std::string config = std::string(home) + "/offscreen-screen.json";
        if (std::FILE* file = std::fopen(config.c_str(), "w")) {
            std::fputs(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 3840, "height": 2400,)"
                       R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
                       file);
            std::fclose(file);
            setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
        }
    }

    std::unique_ptr<QApplication> m_app;
};

inline testing::Environment* const g_qtTestEnvironment = testing::AddGlobalTestEnvironment(new QtTestEnvironment);

// Switches the application to the plain "windows" style (the classic look) for one scope.
class ClassicStyleScope {
public:
    ClassicStyleScope() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows"))); }
    ~ClassicStyleScope() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }
};

}  // namespace quillon::test
