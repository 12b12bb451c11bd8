#include "ui/LanguageTables.h"

namespace nomilo {

// The German table is partly English: only the caption, the rename button, the prefix switch
// and the hints of the two fields and the swap button are German.
const TLanguageTable kLanguageTables[3] = {
    {
        "Hrvatski",
        "Velkaro",
        "Preimenuj",
        "Prefiks",
        "Dodaj na početak",
        "pronađi",
        "zamijeni",
        "pronađi -> <- zamijeni",
        "maska",
        "(Re)Integriraj se u ljusku",
        "Ukloni integraciju u ljusku",
        "Preimenuj samo selektirane datoteke",
        "Neke datoteke nije bilo moguće preimenovati.",
        "Razlikuj vel. i mala slova",
        "Vel&karo",
    },
    {
        "English",
        "Nomilo",
        "Rename",
        "Prefix",
        "Add to the beginning",
        "Find",
        "Replace",
        "Find -> <- Replace",
        "Mask",
        "(Re)Install Shell Integration",
        "Remove Shell Integration",
        "Rename only selected items",
        "Some files could not be renamed.",
        "Case sensitive",
        "No&milo",
    },
    {
        "Deutsch",
        "Drostel",
        "Umnennen",
        "Präfix",
        "Add to the beginning",
        "finden",
        "umtauschen",
        "finden -> <- umtauschen",
        "Mask",
        "(Re)Install Shell Integration",
        "Remove Shell Integration",
        "Rename only selected items",
        "Some files could not be renamed.",
        "Case sensitive",
        "No&milo",
    },
};

const TLanguageTable* FindLanguageTable(const std::string& language) {
    for (const TLanguageTable& table : kLanguageTables)
        if (language == table.name)
            return &table;
    return nullptr;
}

} // namespace nomilo
