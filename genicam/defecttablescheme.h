#pragma once

namespace genicam {

// The feature names under which a camera's feature tree offers its defect
// pixel table. Supporting another camera family takes one more entry in
// DefectTable's list of schemes.
struct DefectTableScheme
{
    // Chooses the factory or the user list; null when the camera holds only
    // the user's.
    const char* listSelector;
    const char* factoryList;
    const char* userList;
    // The entry count of the selected list, written before its entries.
    const char* count;
    // Selects the entry that x and y read and write; its maximum plus one is
    // the number of entries a list takes.
    const char* index;
    const char* x;
    const char* y;
    // Apply puts the written list in force, save keeps it over a power cycle.
    const char* apply;
    const char* save;
    const char* correctionEnable;
};

} // namespace genicam
