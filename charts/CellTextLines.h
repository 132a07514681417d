#pragma once

#include <string>

#include "data/CellData.h"

// The serving-cell line under the header " CHN RLEV PLMN   LAI   CID  C1  C2 B D", or the
// empty text when the record has no valid identity.
std::string ServingCellLine(const TCellData& data);

// One line per neighbour 1..6 that has a level, joined with CR LF, with every trailing byte of
// code 32 or below cut off; the empty text when no neighbour qualifies.
std::string NeighborLines(const TCellData& data);
