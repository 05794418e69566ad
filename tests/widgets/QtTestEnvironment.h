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

#include <memory>
#include <ostream>

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
        static int argc = 1;
        static char name[] = "quillon-tests";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }

    void TearDown() override { m_app.reset(); }

private:
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
