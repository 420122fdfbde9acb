// The site's rules for the time sheet, kept in REPORT.INI in the work folder.
#pragma once

#include <QString>

extern const QString kRulesFile; // .\REPORT.INI

struct ReportRules {
    int start = 9 * 60;     // work starts, minutes after midnight
    int end = 18 * 60;      // work ends
    int grace = 0;          // minutes after the start that are not yet late
    int dayChange = 5 * 60; // a punch before this belongs to the previous work day

    bool operator==(const ReportRules& other) const {
        return start == other.start && end == other.end && grace == other.grace &&
               dayChange == other.dayChange;
    }
};

// The largest grace the rules take: half a day.
constexpr int kMaxGraceMinutes = 12 * 60;

// The rules in the file at the host path; the defaults for a missing file and for every value
// that is missing or not one the rules take. Raises FileError when it exists but cannot be read.
ReportRules readRules(const QString& path);
// Writes the rules (see saveAtomically); raises FileError.
void saveRules(const QString& path, const ReportRules& rules);

// "09:00" for 540.
QString clockText(int minutes);
