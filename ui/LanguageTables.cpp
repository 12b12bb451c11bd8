#include "ui/LanguageTables.h"

namespace nomilo {

// The German table is partly English: only the caption, the rename button, the prefix switch
// and the hints of the two fields and the swap button are German. The texts of the features
// beyond the design are in each table's own language.
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
        {
            "Prikaži nova imena",
            "Poništi zadnje preimenovanje",
            {
                "ime je zauzeto",
                "isto ime dobiva raniji unos",
                "ime nije dopušteno",
                "ime je predugo",
                "datoteka više ne postoji",
                "nema dopuštenja",
                "druga datoteka sada ima ovo ime",
            },
            "... i još %1",
            "Prikaži detalje...",
            "Sakrij detalje...",
            "Ovo preimenovanje nije moguće poništiti: %1",
            "Ništa nije vraćeno: %1",
            "dnevnik poništavanja %1 nije bilo moguće zapisati (%2).",
            "drugi prozor ovog programa koristi dnevnik poništavanja %1.",
            "datoteku zaključavanja %1 dnevnika poništavanja nije moguće koristiti (%2).",
            "dnevnik poništavanja %1 je oštećen.",
            "dnevnik poništavanja %1 je poveznica ili nije obična datoteka.",
            "dnevnik poništavanja %1 pripada drugom korisniku.",
            "drugi korisnici mogu mijenjati dnevnik poništavanja %1.",
            "dnevnik poništavanja %1 nije moguće pročitati (%2).",
            "mapa %1 nije ona u kojoj je bilo zadnje preimenovanje (premještena je, uklonjena "
            "ili zamijenjena).",
        },
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
        {
            "Show new names",
            "Undo last rename",
            {
                "the name is taken",
                "an earlier entry gets the same name",
                "the name is not acceptable",
                "the name is too long",
                "the file is gone",
                "no permission",
                "another file now has this name",
            },
            "... and %1 more",
            "Show Details...",
            "Hide Details...",
            "This rename cannot be undone: %1",
            "Nothing was renamed back: %1",
            "the undo journal %1 could not be written (%2).",
            "another window of this program is using the undo journal %1.",
            "the lock file %1 of the undo journal cannot be used (%2).",
            "the undo journal %1 is damaged.",
            "the undo journal %1 is a link or not a regular file.",
            "the undo journal %1 belongs to another user.",
            "other users may change the undo journal %1.",
            "the undo journal %1 cannot be read (%2).",
            "the folder %1 is not the one the last rename took place in (it was moved, removed "
            "or replaced).",
        },
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
        {
            "Neue Namen anzeigen",
            "Letzte Umbenennung rückgängig machen",
            {
                "der Name ist vergeben",
                "ein früherer Eintrag erhält denselben Namen",
                "der Name ist nicht zulässig",
                "der Name ist zu lang",
                "die Datei ist nicht mehr da",
                "keine Berechtigung",
                "eine andere Datei hat jetzt diesen Namen",
            },
            "... und %1 weitere",
            "Details einblenden...",
            "Details ausblenden...",
            "Diese Umbenennung kann nicht rückgängig gemacht werden: %1",
            "Nichts wurde zurückbenannt: %1",
            "das Rückgängig-Protokoll %1 konnte nicht geschrieben werden (%2).",
            "ein anderes Fenster dieses Programms verwendet das Rückgängig-Protokoll %1.",
            "die Sperrdatei %1 des Rückgängig-Protokolls ist nicht verwendbar (%2).",
            "das Rückgängig-Protokoll %1 ist beschädigt.",
            "das Rückgängig-Protokoll %1 ist ein Link oder keine gewöhnliche Datei.",
            "das Rückgängig-Protokoll %1 gehört einem anderen Benutzer.",
            "andere Benutzer können das Rückgängig-Protokoll %1 ändern.",
            "das Rückgängig-Protokoll %1 kann nicht gelesen werden (%2).",
            "der Ordner %1 ist nicht der, in dem die letzte Umbenennung stattfand (er wurde "
            "verschoben, entfernt oder ersetzt).",
        },
    },
};

const TLanguageTable* FindLanguageTable(const std::string& language) {
    for (const TLanguageTable& table : kLanguageTables)
        if (language == table.name)
            return &table;
    return nullptr;
}

} // namespace nomilo
