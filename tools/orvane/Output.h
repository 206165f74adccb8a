// How the records look on stdout: a table, a property listing, or JSON.
#pragma once

#include "tools/orvane/GameRecords.h"

#include <string>
#include <vector>

namespace OrvaneHost {

// Id, name, version, installed, the two sizes and "missing" when the game's folder is gone, one
// game a row.
std::string gamesTable(const std::vector<TGameRecord>& games);
// Every property and package of one game, one per line.
std::string gameDetails(const TGameRecord& game);
std::string packagesTable(const std::vector<TPackageRecord>& packages);

std::string gameJson(const TGameRecord& game);
std::string gamesJson(const std::vector<TGameRecord>& games);

// Rows of cells as columns as wide as their widest cell, two spaces apart.
std::string textTable(const std::vector<std::vector<std::string>>& rows);

// A JSON string literal: quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text);

}  // namespace OrvaneHost
