#pragma once

#include <QList>
#include <QString>

// The user's favourite channels, stored in <ProgramDir>/config/faworits.ini, section
// "Faworits": entry n under FaworChannel<n>, FaworPassword<n>, FaworDescr<n> and
// FaworServer<n>, numbered from 1. No widgets.

struct FaworitRecord
{
    QString channel;  // normally with its "#"
    QString password; // the channel key; stored only
    QString description;
    QString server; // the server host the favourite belongs to; stored only
};

constexpr int MaxFaworits = 10000;

// The program-wide list: Faworits()[0] is entry 1; its size is the count.
QList<FaworitRecord> &Faworits();

// Reads entries 1, 2, ... up to the first whose FaworChannel key is absent (at most
// 10000). A key is absent only when it is not in the file: a channel such as "#er" or an
// empty value is an entry like any other. Absent password, description or server keys
// read as empty text.
void LoadFaworitList();
// Writes the four keys of entries 1 to count in one atomic rewrite; keys of higher numbers
// already in the file stay as they are.
void SaveFaworitList();
// Reloads the list from the file, appends the entry after the last one there and saves.
// Raises ETalvinError and adds nothing when the list is full.
void AddFaworit(const FaworitRecord &record);
