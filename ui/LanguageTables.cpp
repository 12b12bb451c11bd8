#include "ui/LanguageTables.h"

#include "rename/Refusal.h"

namespace nomilo {

// The German table is partly English: only the caption, the rename button, the prefix switch
// and the hints of the two fields and the swap button are German. The texts of the features
// beyond the design and the names assistive technologies read are in each table's own language.
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
            },
            "... i još %1",
            "Prikaži detalje...",
            "Sakrij detalje...",
            "Ove putanje su izostavljene:",
            {"ne postoji", "nalazi se u drugoj mapi", "nije na popisu datoteka"},
            "Regularni izraz",
            "Svako pojavljivanje",
            "Numeriranje",
            "Tekst za pronalaženje nije ispravan regularni izraz: %1 (pomak %2)",
            "Tekst zamjene ne odgovara regularnom izrazu: %1 (pomak %2)",
            "Regularni izraz nije uspio na jednom imenu: %1",
            "Ništa nije preimenovano.",
            "Numeriranje: # je redni broj preimenovanja, ### isti broj s najmanje tri znamenke;\n"
            "#{10} broji od 10, #{10,5} od 10 u koracima od 5.\n\\# piše #, \\\\ obrnutu kosu crtu.",
            "$1 ili ${ime}: grupa izraza;\n\\U \\L: velika ili mala slova do \\E; \\u \\l: "
            "sljedeće slovo.",
        },
        {
            "Pronađi",
            "Zamijeni s",
            "Maska datoteka",
            "Pogon",
            "Mape",
            "Datoteke",
            "Zamijeni mjesta traženom i zamjenskom tekstu",
            "Preimenovanje uzima svaku datoteku s popisa",
            "Preimenovanje uzima samo selektirane datoteke",
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
                kEnglishRefusalTexts[0],
                kEnglishRefusalTexts[1],
                kEnglishRefusalTexts[2],
                kEnglishRefusalTexts[3],
                kEnglishRefusalTexts[4],
                kEnglishRefusalTexts[5],
            },
            "... and %1 more",
            "Show Details...",
            "Hide Details...",
            "These paths were left out:",
            {"it does not exist", "it is in another folder", "it is not in the file list"},
            "Regular expression",
            "Every occurrence",
            "Numbering",
            "The find text is not a valid regular expression: %1 (offset %2)",
            "The replace text does not suit the regular expression: %1 (offset %2)",
            "The regular expression failed on a name: %1",
            "Nothing was renamed.",
            "Numbering: # is the number of the rename, ### the same with at least three digits;\n"
            "#{10} counts from 10, #{10,5} from 10 in steps of 5.\n\\# writes #, \\\\ a backslash.",
            "$1 or ${name}: a group of the expression;\n\\U \\L: upper or lower case until \\E; "
            "\\u \\l: the next letter.",
        },
        {
            "Find",
            "Replace with",
            "File mask",
            "Drive",
            "Folders",
            "Files",
            "Swap find and replace texts",
            "Rename takes every file of the list",
            "Rename takes the selected files only",
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
            },
            "... und %1 weitere",
            "Details einblenden...",
            "Details ausblenden...",
            "Diese Pfade wurden ausgelassen:",
            {"existiert nicht", "liegt in einem anderen Ordner", "steht nicht in der Dateiliste"},
            "Regulärer Ausdruck",
            "Jedes Vorkommen",
            "Nummerierung",
            "Der Suchtext ist kein gültiger regulärer Ausdruck: %1 (Versatz %2)",
            "Der Ersetzungstext passt nicht zum regulären Ausdruck: %1 (Versatz %2)",
            "Der reguläre Ausdruck ist an einem Namen gescheitert: %1",
            "Nichts wurde umbenannt.",
            "Nummerierung: # ist die Nummer der Umbenennung, ### dieselbe mit mindestens drei "
            "Ziffern;\n#{10} zählt ab 10, #{10,5} ab 10 in Schritten von 5.\n\\# schreibt #, \\\\ "
            "einen Backslash.",
            "$1 oder ${name}: eine Gruppe des Ausdrucks;\n\\U \\L: Groß- oder Kleinbuchstaben bis "
            "\\E; \\u \\l: der nächste Buchstabe.",
        },
        {
            "Suchen nach",
            "Ersetzen durch",
            "Dateimaske",
            "Laufwerk",
            "Ordner",
            "Dateien",
            "Such- und Ersetzungstext tauschen",
            "Umbenannt wird jede Datei der Liste",
            "Umbenannt werden nur die ausgewählten Dateien",
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
