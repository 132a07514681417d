#pragma once

#include <QCollator>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "batch/LogCheck.h"

// One log of the list: known once it is checked.
struct TLogListRow {
    std::filesystem::path Path;  // the file system's bytes
    QString Name;                // the path below the opened folder, as the list shows it
    std::optional<TCheckOutcome> Outcome;
    QString OutcomeText;
    std::optional<int32_t> SoftwareVersion;
    std::optional<TDateTime> FirstRecord;
    std::optional<std::uintmax_t> Size;
    std::string Sha256;
    bool HarmlessChange = false;  // NOT VALID, and a known harmless change explains it
    QString LikelyCause;          // the sentence about the search, for a NOT VALID log
    // Which check of this path the row waits for: a result of any other is stale.
    uint64_t CheckSerial = 0;
};

// A row not checked yet, named by its path below `folder`.
TLogListRow NewLogListRow(const std::filesystem::path& path, const std::filesystem::path& folder,
                          uint64_t serial);

// What a check found, as the list keeps it (the texts, not the whole load).
void TakeCheckResult(TLogListRow& row, const TFileReport& report);

// Names sort as a file manager sorts them: letter case aside, numbers by their value. One
// collator per thread.
QCollator NameCollator();
