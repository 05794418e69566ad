#include "widgets/AboutDlg.h"

#include <QLabel>
#include <QPixmap>

#include <array>
#include <cstdio>
#include <cstring>

#include "res/ResourceIds.h"
#include "res/Version.h"
#include "widgets/DataExchange.h"

namespace {

constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long DaysFromCivil(long year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long>(dayOfEra) - 719468;
}

std::u16string FromLatin1(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent)
{
}

CAboutDlg::~CAboutDlg() = default;

const char* CAboutDlg::VersionText()
{
    return QUILLON_VERSION_TEXT;
}

std::string CAboutDlg::BuildTimeText()
{
    return FormatBuildTime(__DATE__, __TIME__);
}

std::string CAboutDlg::FormatBuildTime(const char* date, const char* time)
{
    char month[4] = {};
    unsigned day = 0;
    long year = 0;
    unsigned hour = 0, minute = 0, second = 0;
    if (!date || !time || std::sscanf(date, "%3s %u %ld", month, &day, &year) != 3 ||
        std::sscanf(time, "%u:%u:%u", &hour, &minute, &second) != 3)
        return {};
    unsigned monthIndex = 0;
    while (monthIndex < kMonths.size() && std::strcmp(kMonths[monthIndex], month) != 0)
        ++monthIndex;
    if (monthIndex == kMonths.size() || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return {};
    const long days = DaysFromCivil(year, monthIndex + 1, day);
    const long weekday = ((days % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2u %02u:%02u:%02u %ld", kWeekdays[static_cast<size_t>(weekday)], kMonths[monthIndex],
                  day, hour, minute, second, year);
    return text;
}

void CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_EDIT_VERSION, m_strVersion);
    DDX_Control(dx, IDC_HYPERLINK, m_link);
    DDX_Text(dx, IDC_EDIT_BUILD_TIME, m_strBuildTime);
}

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_strVersion = FromLatin1(VersionText());
    m_strBuildTime = FromLatin1(BuildTimeText());
    // Both read-only fields say what they show to a screen reader, as their captions do on screen.
    if (QWidget* version = GetDlgItem(IDC_EDIT_VERSION))
        version->setAccessibleName(QStringLiteral("Version"));
    if (QWidget* buildTime = GetDlgItem(IDC_EDIT_BUILD_TIME))
        buildTime->setAccessibleName(QStringLiteral("Build on"));
    FitBanner();
    UpdateData(false);
    return true;
}

void CAboutDlg::FitBanner()
{
    for (QWidget* control : TemplateControls()) {
        auto* picture = qobject_cast<QLabel*>(control);
        if (!picture || picture->pixmap().isNull())
            continue;
        // The banner is drawn wider than the box is at some fonts; shrink it rather than cut it.
        const QPixmap banner = picture->pixmap();
        if (banner.width() > picture->width() || banner.height() > picture->height())
            picture->setPixmap(banner.scaled(picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}
