// The table of reserved words: 39 words in a fixed order, consulted by
// index. The order is part of the language; never reorder or remove rows.
#pragma once

#include <string>
#include <string_view>

namespace tavro {

enum ReservedWord : int {
    rwTo, rwOb, rwMake, rwPrint, rwRun, rwIf, rwLocal, rwWhile, rwRepeat,
    rwOutput, rwEnd, rwDll, rwOnDrawImage, rwOnChange, rwOnLocalChange,
    rwOnIdentity, rwOnDrag, rwOnInteractive, rwOnInteractivePlane, rwGet,
    rwPut, rwDefinition, rwHistory, rwOnHistoryCreate, rwOnHistoryUpdate,
    rwOnPriority, rwOnLeftAssociation, rwOnBeforeMake, rwOnAfterMake,
    rwScale, rwCscx, rwCscy, rwOnMouseDown, rwOnMouseMove, rwOnMouseUp,
    rwOnMouseClick, rwOnPlan, rwLambda, rwOnDepend,
    ReservedWordCount
};

// The word as written in the table ("to", "ondrawimage", ...).
std::string_view Reserved(int index);

namespace detail {
extern std::string gNormalizedReserved[ReservedWordCount];
extern std::string gUpperReserved[ReservedWordCount];
}  // namespace detail

// The word after Normalize: unchanged in case-sensitive mode, upper-cased
// otherwise. Recomputed whenever the naming mode changes.
inline const std::string& NormalizedReserved(int index) { return detail::gNormalizedReserved[index]; }

// The word upper-cased, for the comparisons made "in any letter case".
inline const std::string& UpperReserved(int index) { return detail::gUpperReserved[index]; }

// Rebuilds the normalised column (called when CaseSensitive changes).
void RefreshReservedWords();

}  // namespace tavro
