#pragma once
// The order the user gave the rules editor's lists by clicking a column
// header: a column sorts ascending, a second click on it the other way round.
// One order serves both lists, so a list clicked after the other starts
// ascending again.
#include <windows.h>

class SetupListSort {
public:
    // Sorts the list's items by the column's text, case aside.
    void Sort(HWND list, int column);

private:
    HWND list_ = nullptr;
    int column_ = -1;
    bool descending_ = false;
};
