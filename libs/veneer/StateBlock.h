// The opaque state block of SaveControlState, shared by every control kind
// so a state taken from one control can be given to another of its row.
// Internal to Veneer.
#pragma once

#include <QString>
#include <vector>

namespace veneer {

class CSkinBase;

void* NewState();
void StateSetChecked(void* state, bool checked);
bool StateGetChecked(const void* state, bool* checked);
void StateSetRange(void* state, int minimum, int maximum, int value);
bool StateGetRange(const void* state, int* minimum, int* maximum, int* value);
void StateSetText(void* state, const QString& text);
bool StateGetText(const void* state, QString* text);

std::vector<CSkinBase*> GroupMembers(int group);

} // namespace veneer
