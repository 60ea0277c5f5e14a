// FormatMessageA from the system message table: the German Windows texts for the codes
// this program can meet, each ending in CR LF, and a generic text with the number for the
// rest. Texts are UTF-8.
#include "platform/Win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct TMessage {
    DWORD code;
    const char* text;
};

constexpr TMessage systemMessages[] = {
    {ERROR_SUCCESS, "Der Vorgang wurde erfolgreich beendet."},
    {ERROR_INVALID_FUNCTION, "Unzulässige Funktion."},
    {ERROR_FILE_NOT_FOUND, "Das System kann die angegebene Datei nicht finden."},
    {ERROR_PATH_NOT_FOUND, "Das System kann den angegebenen Pfad nicht finden."},
    {ERROR_TOO_MANY_OPEN_FILES, "Das System kann die Datei nicht öffnen."},
    {ERROR_ACCESS_DENIED, "Zugriff verweigert"},
    {ERROR_INVALID_HANDLE, "Das Handle ist ungültig."},
    {ERROR_NOT_ENOUGH_MEMORY,
     "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten."},
    {ERROR_OUTOFMEMORY, "Nicht genügend Speicher verfügbar, um diesen Vorgang abzuschließen."},
    {ERROR_NOT_SAME_DEVICE,
     "Das System kann die Datei nicht auf ein anderes Laufwerk verschieben."},
    {ERROR_NO_MORE_FILES, "Es sind keine weiteren Dateien vorhanden."},
    {ERROR_WRITE_PROTECT, "Das Medium ist schreibgeschützt."},
    {ERROR_NOT_READY, "Das Gerät ist nicht bereit."},
    {ERROR_CRC, "Datenfehler (CRC-Prüfung)."},
    {ERROR_SEEK,
     "Das Laufwerk kann einen bestimmten Bereich oder eine Spur auf dem Datenträger nicht finden."},
    {ERROR_WRITE_FAULT, "Das System kann nicht auf das angegebene Gerät schreiben."},
    {ERROR_READ_FAULT, "Das System kann nicht von dem angegebenen Gerät lesen."},
    {ERROR_GEN_FAILURE, "Ein an das System angeschlossenes Gerät funktioniert nicht."},
    {ERROR_SHARING_VIOLATION, "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem "
                              "anderen Prozess verwendet wird."},
    {ERROR_LOCK_VIOLATION, "Der Prozess kann nicht auf die Datei zugreifen, da ein anderer Prozess "
                           "einen Teil der Datei gesperrt hat."},
    {ERROR_HANDLE_EOF, "Das Dateiende wurde erreicht."},
    {ERROR_NOT_SUPPORTED, "Die Anforderung wird nicht unterstützt."},
    {ERROR_BAD_NETPATH, "Der Netzwerkpfad wurde nicht gefunden."},
    {ERROR_NETWORK_ACCESS_DENIED, "Der Netzwerkzugriff wurde verweigert."},
    {ERROR_FILE_EXISTS, "Die Datei ist vorhanden."},
    {ERROR_INVALID_PARAMETER, "Falscher Parameter."},
    {ERROR_BROKEN_PIPE, "Die Pipe wurde beendet."},
    {ERROR_DISK_FULL, "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden."},
    {ERROR_CALL_NOT_IMPLEMENTED, "Diese Funktion wird in diesem System nicht unterstützt."},
    {ERROR_INSUFFICIENT_BUFFER, "Der an einen Systemaufruf übergebene Datenbereich ist zu klein."},
    {ERROR_INVALID_NAME,
     "Die Syntax für den Dateinamen, Verzeichnisnamen oder die Datenträgerbezeichnung ist falsch."},
    {ERROR_NEGATIVE_SEEK,
     "Es wurde versucht, den Dateizeiger vor den Anfang der Datei zu verschieben."},
    {ERROR_DIR_NOT_EMPTY, "Das Verzeichnis ist nicht leer."},
    {ERROR_BUSY, "Die angeforderte Ressource wird bereits verwendet."},
    {ERROR_ALREADY_EXISTS,
     "Eine Datei kann nicht erstellt werden, wenn sie bereits vorhanden ist."},
    {ERROR_FILENAME_EXCED_RANGE, "Der Dateiname oder die Erweiterung ist zu lang."},
    {ERROR_FILE_TOO_LARGE,
     "Die Dateigröße überschreitet den zulässigen Grenzwert und kann nicht gespeichert werden."},
    {ERROR_DIRECTORY, "Der Verzeichnisname ist ungültig."},
    {ERROR_INVALID_ADDRESS, "Es wurde versucht, auf eine unzulässige Adresse zuzugreifen."},
    {ERROR_OPERATION_ABORTED,
     "Der E/A-Vorgang wurde wegen eines Threadendes oder einer Anwendungsanforderung abgebrochen."},
    {ERROR_IO_DEVICE,
     "Die Anforderung konnte wegen eines E/A-Gerätefehlers nicht ausgeführt werden."},
    {ERROR_PRIVILEGE_NOT_HELD, "Dem Client fehlt ein erforderliches Recht."},
    {ERROR_NO_SYSTEM_RESOURCES,
     "Nicht genügend Systemressourcen, um den angeforderten Dienst auszuführen."},
    {ERROR_WORKING_SET_QUOTA,
     "Nicht genügend Kontingente, um den angeforderten Dienst auszuführen."},
    {ERROR_TIMEOUT, "Dieser Vorgang wurde wegen Ablauf einer Zeitlimitperiode zurückgegeben."},
    {ERROR_CANT_ACCESS_FILE, "Das System kann nicht auf die Datei zugreifen."},
};

std::string SystemMessage(DWORD code) {
    for (const TMessage& message : systemMessages) {
        if (message.code == code) {
            return std::string(message.text) + "\r\n";
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "Unbekannter Fehler (Code %u).\r\n", code);
    return text;
}

} // namespace

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize,
                     void*) {
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string text = SystemMessage(dwMessageId);
    const auto length = static_cast<DWORD>(text.size());
    char* target = lpBuffer;
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        target = static_cast<char*>(std::malloc(std::max<std::size_t>(length + 1, nSize)));
        if (target == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<char**>(lpBuffer) = target;
    } else if (length + 1 > nSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(target, text.c_str(), length + 1);
    return length;
}

HANDLE LocalFree(HANDLE hMem) {
    std::free(hMem);
    return nullptr;
}
