#pragma once
// Resource identifiers of Pelkin.exe. The lowest icon ID is the program's own
// icon, the one the shell shows for the file.
#define IDI_PKSMALL 100
#define IDI_PKSMALLDISABLED 101
#define IDI_WINDOWS 102
#define IDI_SETUP 103
#define IDI_REFRESH 104
#define IDI_DEFAULT 105
