<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AveragedFrameWriter</name>
    <message>
        <source>Cannot save %1 frames as one 16-bit image.</source>
        <translation>%1 Bilder können nicht als ein 16-Bit-Bild gespeichert werden.</translation>
    </message>
    <message>
        <source>The frames of %1 differ in size or format.</source>
        <translation>Die Bilder für %1 unterscheiden sich in Größe oder Format.</translation>
    </message>
    <message>
        <source>Could not write %1.</source>
        <translation>%1 konnte nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>Badpixel</name>
    <message>
        <source>factory</source>
        <translation>Werk</translation>
    </message>
    <message>
        <source>user</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>ignore</source>
        <translation>ignoriert</translation>
    </message>
</context>
<context>
    <name>BadpixelDetector</name>
    <message>
        <source>Color mode for hot pixel detection not supported.</source>
        <translation>Der Farbmodus wird für die Hotpixel-Erkennung nicht unterstützt.</translation>
    </message>
    <message>
        <source>No images acquired for hot pixel detection.</source>
        <translation>Für die Hotpixel-Erkennung wurden keine Bilder aufgenommen.</translation>
    </message>
    <message>
        <source>Image format for hot pixel detection not supported.</source>
        <translation>Das Bildformat wird für die Hotpixel-Erkennung nicht unterstützt.</translation>
    </message>
    <message>
        <source>Aqcuired images are not the same size.</source>
        <translation>Die aufgenommenen Bilder sind nicht gleich groß.</translation>
    </message>
</context>
<context>
    <name>BadpixelListModel</name>
    <message>
        <source>x</source>
        <translation>x</translation>
    </message>
    <message>
        <source>y</source>
        <translation>y</translation>
    </message>
    <message>
        <source>class</source>
        <translation>Klasse</translation>
    </message>
    <message>
        <source>Can&apos;t write more than %1 hot pixel entries.</source>
        <translation>Es können höchstens %1 Hotpixel-Einträge geschrieben werden.</translation>
    </message>
    <message>
        <source>Error writing hotpixel list</source>
        <translation>Fehler beim Schreiben der Hotpixel-Liste</translation>
    </message>
    <message>
        <source>write to file failed with %1
</source>
        <translation>Schreiben in die Datei fehlgeschlagen mit %1
</translation>
    </message>
    <message>
        <source>load from file failed with %1
</source>
        <translation>Laden aus der Datei fehlgeschlagen mit %1
</translation>
    </message>
    <message>
        <source>Can&apos;t open file for writing.</source>
        <translation>Die Datei kann nicht zum Schreiben geöffnet werden.</translation>
    </message>
    <message>
        <source>Can&apos;t write file: %1</source>
        <translation>Die Datei kann nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>Can&apos;t open file for reading.</source>
        <translation>Die Datei kann nicht zum Lesen geöffnet werden.</translation>
    </message>
    <message>
        <source>Line %1 is not a hot pixel entry &quot;x y class&quot;:
%2
Nothing was imported.</source>
        <translation>Zeile %1 ist kein Hotpixel-Eintrag „x y Klasse“:
%2
Es wurde nichts importiert.</translation>
    </message>
    <message>
        <source>Writing is refused so that the entries the camera holds are not lost; close and open the camera to read its list again.</source>
        <translation>Das Schreiben wird verweigert, damit die Einträge in der Kamera nicht verloren gehen; schließen und öffnen Sie die Kamera, um ihre Liste erneut zu lesen.</translation>
    </message>
    <message>
        <source>The camera&apos;s user hot pixel list has not been read.</source>
        <translation>Die Benutzer-Hotpixel-Liste der Kamera wurde nicht gelesen.</translation>
    </message>
    <message>
        <source>The camera reports %1 user hot pixel entries but holds at most %2, so its user hot pixel list could not be read.</source>
        <translation>Die Kamera meldet %1 Benutzer-Hotpixel-Einträge, fasst aber höchstens %2; ihre Benutzer-Hotpixel-Liste konnte daher nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The camera&apos;s user hot pixel list could not be read (status %1).</source>
        <translation>Die Benutzer-Hotpixel-Liste der Kamera konnte nicht gelesen werden (Status %1).</translation>
    </message>
    <message>
        <source>The hot pixel list was written to the file, but the camera library&apos;s own list could not be put back (status %1).</source>
        <translation>Die Hotpixel-Liste wurde in die Datei geschrieben, aber die eigene Liste der Kamerabibliothek konnte nicht wiederhergestellt werden (Status %1).</translation>
    </message>
    <message>
        <source>The hot pixel list was loaded from the file, but the camera library&apos;s own list could not be put back (status %1).</source>
        <translation>Die Hotpixel-Liste wurde aus der Datei geladen, aber die eigene Liste der Kamerabibliothek konnte nicht wiederhergestellt werden (Status %1).</translation>
    </message>
    <message>
        <source>The host-side hot pixel list %1 cannot be read.</source>
        <translation>Die rechnerseitige Hotpixel-Liste %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The host-side hot pixel list %1 is damaged.</source>
        <translation>Die rechnerseitige Hotpixel-Liste %1 ist beschädigt.</translation>
    </message>
    <message>
        <source>The host-side hot pixel list %1 cannot be written.</source>
        <translation>Die rechnerseitige Hotpixel-Liste %1 kann nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>Camera</name>
    <message>
        <source>Upload of new firmware required. (approx. %1 seconds)</source>
        <translation>Neue Firmware muss hochgeladen werden. (ca. %1 Sekunden)</translation>
    </message>
    <message>
        <source>Could not initialize camera.</source>
        <translation>Die Kamera konnte nicht initialisiert werden.</translation>
    </message>
    <message>
        <source>Unsupported camera type</source>
        <translation>Nicht unterstützter Kameratyp</translation>
    </message>
    <message>
        <source>Color Mode not supported.</source>
        <translation>Der Farbmodus wird nicht unterstützt.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
    <message>
        <source>Can&apos;t open camera parameter file.</source>
        <translation>Die Kameraparameterdatei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The camera&apos;s events could not be set up: %1</source>
        <translation>Die Ereignisse der Kamera konnten nicht eingerichtet werden: %1</translation>
    </message>
    <message>
        <source>Capture could not be started: %1</source>
        <translation>Die Aufnahme konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>The camera could not be released: %1 Restart the program to open it again.</source>
        <translation>Die Kamera konnte nicht freigegeben werden: %1 Starten Sie das Programm neu, um sie wieder zu öffnen.</translation>
    </message>
    <message>
        <source>Capture could not be restarted: %1</source>
        <translation>Die Aufnahme konnte nicht neu gestartet werden: %1</translation>
    </message>
</context>
<context>
    <name>CameraListModel</name>
    <message>
        <source>Cam</source>
        <translation>Kam</translation>
    </message>
    <message>
        <source>Dev</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>SerNo</source>
        <translation>SerNr</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>free</source>
        <translation>frei</translation>
    </message>
    <message>
        <source>opened</source>
        <translation>geöffnet</translation>
    </message>
    <message>
        <source>in use</source>
        <translation>belegt</translation>
    </message>
    <message>
        <source>Can&apos;t get number of cameras.</source>
        <translation>Die Anzahl der Kameras kann nicht ermittelt werden.</translation>
    </message>
    <message>
        <source>Can&apos;t get camera list.</source>
        <translation>Die Kameraliste kann nicht abgerufen werden.</translation>
    </message>
</context>
<context>
    <name>CameraSourceOptions</name>
    <message>
        <source>Do not offer the simulated cameras (also KIVO_SIMULATED_CAMERAS=0).</source>
        <translation>Die simulierten Kameras nicht anbieten (auch KIVO_SIMULATED_CAMERAS=0).</translation>
    </message>
    <message>
        <source>Do not look for GenICam cameras (also KIVO_GENICAM_CAMERAS=0).</source>
        <translation>Nicht nach GenICam-Kameras suchen (auch KIVO_GENICAM_CAMERAS=0).</translation>
    </message>
    <message>
        <source>Ask the GigE Vision camera at &lt;address&gt; instead of searching the networks; may be given more than once (also KIVO_GENICAM_ADDRESSES, separated by commas).</source>
        <translation>Die GigE-Vision-Kamera unter &lt;Adresse&gt; fragen, statt die Netze zu durchsuchen; mehrfach möglich (auch KIVO_GENICAM_ADDRESSES, durch Kommas getrennt).</translation>
    </message>
    <message>
        <source>address</source>
        <translation>Adresse</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Show this help and quit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and quit.</source>
        <translation>Die Version anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Shows the live image of a camera and edits the camera&apos;s hot pixel lists.</source>
        <translation>Zeigt das Livebild einer Kamera und bearbeitet die Hotpixel-Listen der Kamera.</translation>
    </message>
</context>
<context>
    <name>DetectionDialogue</name>
    <message>
        <source>Clear old hot pixel list</source>
        <translation>Alte Hotpixel-Liste leeren</translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>Schwellwert</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Detection</source>
        <translation>Erkennung</translation>
    </message>
    <message>
        <source>Cover the sensor completely during capturing!
</source>
        <translation>Decken Sie den Sensor während der Aufnahme vollständig ab!
</translation>
    </message>
    <message>
        <source>Hot pixel detection</source>
        <translation>Hotpixel-Erkennung</translation>
    </message>
    <message>
        <source>Please Wait...</source>
        <translation>Bitte warten...</translation>
    </message>
    <message>
        <source>Hot pixel detected: %1</source>
        <translation>Erkannte Hotpixel: %1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Save frame...</source>
        <translation>Bild speichern...</translation>
    </message>
    <message>
        <source>Hot pixels (sensor covered)</source>
        <translation>Hotpixel (Sensor abgedeckt)</translation>
    </message>
    <message>
        <source>Dead and dim pixels (sensor evenly lit)</source>
        <translation>Tote und dunkle Pixel (Sensor gleichmäßig beleuchtet)</translation>
    </message>
    <message>
        <source>All Bayer sites</source>
        <translation>Alle Bayer-Positionen</translation>
    </message>
    <message>
        <source>R (even column, even row)</source>
        <translation>R (gerade Spalte, gerade Zeile)</translation>
    </message>
    <message>
        <source>G (even column, odd row)</source>
        <translation>G (gerade Spalte, ungerade Zeile)</translation>
    </message>
    <message>
        <source>G (odd column, even row)</source>
        <translation>G (ungerade Spalte, gerade Zeile)</translation>
    </message>
    <message>
        <source>B (odd column, odd row)</source>
        <translation>B (ungerade Spalte, ungerade Zeile)</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Evidence</source>
        <translation>Befund</translation>
    </message>
    <message>
        <source>Grey levels above the mean of the pixel&apos;s plane</source>
        <translation>Graustufen über dem Mittelwert der Farbebene des Pixels</translation>
    </message>
    <message>
        <source>Light the sensor evenly during capturing, bright but not saturated!
</source>
        <translation>Beleuchten Sie den Sensor während der Aufnahme gleichmäßig, hell, aber nicht übersteuert!
</translation>
    </message>
    <message>
        <source>Grey levels below the mean of the pixel&apos;s plane</source>
        <translation>Graustufen unter dem Mittelwert der Farbebene des Pixels</translation>
    </message>
    <message>
        <source>Hot pixels, sensor covered</source>
        <translation>Hotpixel, Sensor abgedeckt</translation>
    </message>
    <message>
        <source>Dead and dim pixels, sensor evenly lit</source>
        <translation>Tote und dunkle Pixel, Sensor gleichmäßig beleuchtet</translation>
    </message>
    <message>
        <source>%1: %2 frames at exposure %3 ms, gain %4</source>
        <translation>%1: %2 Bilder bei %3 ms Belichtung, Verstärkung %4</translation>
    </message>
    <message>
        <source>No run yet.</source>
        <translation>Noch kein Durchlauf.</translation>
    </message>
    <message>
        <source>%1 pixels above threshold, %2 of them new</source>
        <translation>%1 Pixel über dem Schwellwert, davon %2 neu</translation>
    </message>
</context>
<context>
    <name>DeviationHistogramWidget</name>
    <message>
        <source>The histogram of the averaged frames appears here after a run.</source>
        <translation>Nach einem Durchlauf erscheint hier das Histogramm der gemittelten Bilder.</translation>
    </message>
</context>
<context>
    <name>Dialog_About</name>
    <message>
        <source>About Qt</source>
        <translation>Über Qt</translation>
    </message>
    <message>
        <source>Version: %1</source>
        <translation>Version: %1</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
</context>
<context>
    <name>EmptyViewHint</name>
    <message>
        <source>No camera is open.

Double-click a camera in the camera list to open it,
or select it and press Return.</source>
        <translation>Keine Kamera ist geöffnet.

Doppelklicken Sie auf eine Kamera in der Kameraliste, um sie zu öffnen,
oder wählen Sie sie aus und drücken Sie die Eingabetaste.</translation>
    </message>
</context>
<context>
    <name>ImageMemory</name>
    <message>
        <source>Can&apos;t allocate image memory.</source>
        <translation>Der Bildspeicher kann nicht angelegt werden.</translation>
    </message>
</context>
<context>
    <name>ImageSequence</name>
    <message>
        <source>Can&apos;t add buffer to sequence.</source>
        <translation>Der Puffer kann nicht in die Sequenz aufgenommen werden.</translation>
    </message>
</context>
<context>
    <name>MagnifierControl</name>
    <message>
        <source>Bayer Color:</source>
        <translation>Bayer-Farbe:</translation>
    </message>
    <message>
        <source>Value: </source>
        <translation>Wert: </translation>
    </message>
    <message>
        <source>Click to center</source>
        <translation>Zum Zentrieren klicken</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kivo Speckwright</source>
        <translation>Kivo Speckwright</translation>
    </message>
    <message>
        <source>&amp;Open camera</source>
        <translation>Kamera ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Close camera</source>
        <translation>Kamera s&amp;chließen</translation>
    </message>
    <message>
        <source>&amp;Save hot pixel list</source>
        <translation>Hotpixel-Liste &amp;speichern</translation>
    </message>
    <message>
        <source>&amp;Load hot pixel list</source>
        <translation>Hotpixel-Liste &amp;laden</translation>
    </message>
    <message>
        <source>&amp;Highlight</source>
        <translation>&amp;Hervorheben</translation>
    </message>
    <message>
        <source>&amp;Write hot pixel</source>
        <translation>Hotpixel &amp;schreiben</translation>
    </message>
    <message>
        <source>Hot pixel correction</source>
        <translation>Hotpixel-Korrektur</translation>
    </message>
    <message>
        <source>&amp;Add hot pixel</source>
        <translation>Hotpixel &amp;hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Delete hot pixel</source>
        <translation>Hotpixel &amp;entfernen</translation>
    </message>
    <message>
        <source>Clear user hot pixel</source>
        <translation>Benutzer-Hotpixel leeren</translation>
    </message>
    <message>
        <source>Detec&amp;t hot pixel</source>
        <translation>Hotpixel e&amp;rkennen</translation>
    </message>
    <message>
        <source>1:1</source>
        <translation>1:1</translation>
    </message>
    <message>
        <source>2:1</source>
        <translation>2:1</translation>
    </message>
    <message>
        <source>4:1</source>
        <translation>4:1</translation>
    </message>
    <message>
        <source>1:2</source>
        <translation>1:2</translation>
    </message>
    <message>
        <source>1:4</source>
        <translation>1:4</translation>
    </message>
    <message>
        <source>To fit</source>
        <translation>Einpassen</translation>
    </message>
    <message>
        <source>&amp;Usage</source>
        <translation>&amp;Bedienung</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>Ü&amp;ber...</translation>
    </message>
    <message>
        <source>&amp;Export hot pixel list</source>
        <translation>Hotpixel-Liste e&amp;xportieren</translation>
    </message>
    <message>
        <source>&amp;Import hot pixel list</source>
        <translation>Hotpixel-Liste &amp;importieren</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Camera list</source>
        <translation>Kameraliste</translation>
    </message>
    <message>
        <source>Hot pixel list</source>
        <translation>Hotpixel-Liste</translation>
    </message>
    <message>
        <source>Magnifier</source>
        <translation>Lupe</translation>
    </message>
    <message>
        <source>Camera properties</source>
        <translation>Kameraeigenschaften</translation>
    </message>
    <message>
        <source>Please note!</source>
        <translation>Bitte beachten!</translation>
    </message>
    <message>
        <source>This camera only supports software correction and therefore can&apos;t save inside the camera memory.</source>
        <translation>Diese Kamera unterstützt nur die Korrektur in der Software und kann die Liste daher nicht im Kameraspeicher ablegen.</translation>
    </message>
    <message>
        <source>Frames: %1</source>
        <translation>Bilder: %1</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>FPS: </source>
        <translation>FPS: </translation>
    </message>
    <message>
        <source>F: %1</source>
        <extracomment>Number of the list&apos;s entries that are not user entries (F for factory)</extracomment>
        <translation>W: %1</translation>
    </message>
    <message>
        <source>U: %1</source>
        <extracomment>Number of the list&apos;s user entries (U for user)</extracomment>
        <translation>B: %1</translation>
    </message>
    <message>
        <source>x: %1</source>
        <translation>x: %1</translation>
    </message>
    <message>
        <source>y: %1</source>
        <translation>y: %1</translation>
    </message>
    <message>
        <source>The image is too big and will be resized</source>
        <translation>Das Bild ist zu groß und wird verkleinert</translation>
    </message>
    <message>
        <source>Save hot pixel list</source>
        <translation>Hotpixel-Liste speichern</translation>
    </message>
    <message>
        <source>Binary files (*.bin)</source>
        <translation>Binärdateien (*.bin)</translation>
    </message>
    <message>
        <source>Open hot pixel list</source>
        <translation>Hotpixel-Liste öffnen</translation>
    </message>
    <message>
        <source>Export hot pixel list</source>
        <translation>Hotpixel-Liste exportieren</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>Import hot pixel list</source>
        <translation>Hotpixel-Liste importieren</translation>
    </message>
    <message>
        <source>Not supported!</source>
        <translation>Nicht unterstützt!</translation>
    </message>
    <message>
        <source>This camera only supports software correction and can&apos;t be saved inside the camera memory!</source>
        <translation>Diese Kamera unterstützt nur die Korrektur in der Software; die Liste kann nicht im Kameraspeicher abgelegt werden!</translation>
    </message>
    <message>
        <source>This action will completely overwrite the user defined hot pixel list in the EEPROM of the camera.</source>
        <translation>Dieser Vorgang überschreibt die benutzerdefinierte Hotpixel-Liste im EEPROM der Kamera vollständig.</translation>
    </message>
    <message>
        <source>Do you want to continue?</source>
        <translation>Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <source>Write failed</source>
        <translation>Schreiben fehlgeschlagen</translation>
    </message>
    <message>
        <source>Kivo Speckwright - Usage

Navigation:

Right mouse button: Drag to move image
Arrow keys: Click once into magnifier to move focus pixel by pixel

Shortcuts:

%1	 Add a hot pixel to the list
%2	 Removes a hot pixel from the list
</source>
        <translation>Kivo Speckwright - Bedienung

Navigation:

Rechte Maustaste: Ziehen verschiebt das Bild
Pfeiltasten: Einmal in die Lupe klicken, dann den Fokus Pixel für Pixel bewegen

Tastenkürzel:

%1	 Fügt der Liste ein Hotpixel hinzu
%2	 Entfernt ein Hotpixel aus der Liste
</translation>
    </message>
    <message>
        <source>Usage</source>
        <translation>Bedienung</translation>
    </message>
    <message>
        <source>Detection failed</source>
        <translation>Erkennung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Please restart detection.</source>
        <translation>Bitte starten Sie die Erkennung neu.</translation>
    </message>
    <message>
        <source>Speckwright</source>
        <translation>Speckwright</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>hot pixel list edit</source>
        <translation>Bearbeitung der Hotpixel-Liste</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Open
camera</source>
        <translation>Kamera
öffnen</translation>
    </message>
    <message>
        <source>Close
camera</source>
        <translation>Kamera
schließen</translation>
    </message>
    <message>
        <source>Hot pixel
correction</source>
        <translation>Hotpixel-
Korrektur</translation>
    </message>
    <message>
        <source>Detect
hot pixel</source>
        <translation>Hotpixel
erkennen</translation>
    </message>
    <message>
        <source>Write
hot pixel</source>
        <translation>Hotpixel
schreiben</translation>
    </message>
    <message>
        <source>Add
hot pixel</source>
        <translation>Hotpixel
hinzufügen</translation>
    </message>
    <message>
        <source>Delete
hot pixel</source>
        <translation>Hotpixel
entfernen</translation>
    </message>
    <message>
        <source>&amp;Recent hot pixel lists</source>
        <translation>&amp;Zuletzt verwendete Hotpixel-Listen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message numerus="yes">
        <source>%n imported hot pixel(s) added to the camera&apos;s list; Write hot pixel stores them in the camera.</source>
        <translation>
            <numerusform>%n importiertes Hotpixel zur Liste der Kamera hinzugefügt; „Hotpixel schreiben“ speichert es in der Kamera.</numerusform>
            <numerusform>%n importierte Hotpixel zur Liste der Kamera hinzugefügt; „Hotpixel schreiben“ speichert sie in der Kamera.</numerusform>
        </translation>
    </message>
    <message>
        <source>Kivo Speckwright - %1</source>
        <translation>Kivo Speckwright - %1</translation>
    </message>
    <message>
        <source>Open a camera before loading a binary hot pixel list.</source>
        <translation>Öffnen Sie eine Kamera, bevor Sie eine binäre Hotpixel-Liste laden.</translation>
    </message>
    <message>
        <source>Hot pixel list saved to %1</source>
        <translation>Hotpixel-Liste in %1 gespeichert</translation>
    </message>
    <message>
        <source>Hot pixel list loaded from %1</source>
        <translation>Hotpixel-Liste aus %1 geladen</translation>
    </message>
    <message>
        <source>Hot pixel list exported to %1</source>
        <translation>Hotpixel-Liste nach %1 exportiert</translation>
    </message>
    <message>
        <source>Hot pixel list imported from %1; its user entries are kept when a camera is opened</source>
        <translation>Hotpixel-Liste aus %1 importiert; ihre Benutzereinträge bleiben beim Öffnen einer Kamera erhalten</translation>
    </message>
    <message>
        <source>Hot pixel list imported from %1</source>
        <translation>Hotpixel-Liste aus %1 importiert</translation>
    </message>
    <message>
        <source>Hot pixel list written to the camera</source>
        <translation>Hotpixel-Liste in die Kamera geschrieben</translation>
    </message>
    <message>
        <source>This removes every user entry from the hot pixel list.</source>
        <translation>Damit werden alle Benutzereinträge aus der Hotpixel-Liste entfernt.</translation>
    </message>
    <message>
        <source>Hot pixel list incomplete</source>
        <translation>Hotpixel-Liste unvollständig</translation>
    </message>
    <message>
        <source>Write hot pixel stays refused until the camera&apos;s list has been read: close and open the camera to try again.</source>
        <translation>„Hotpixel schreiben“ bleibt gesperrt, bis die Liste der Kamera gelesen wurde: Schließen und öffnen Sie die Kamera, um es erneut zu versuchen.</translation>
    </message>
    <message>
        <source>The camera was disconnected while frames were being collected. Please reconnect it and start again.</source>
        <translation>Die Kamera wurde während der Bildaufnahme getrennt. Bitte schließen Sie sie wieder an und starten Sie erneut.</translation>
    </message>
    <message>
        <source>Too many bright pixels in a frame.
Please make sure that the sensor is completely obscured.</source>
        <translation>Zu viele helle Pixel in einem Bild.
Bitte stellen Sie sicher, dass der Sensor vollständig abgedeckt ist.</translation>
    </message>
    <message>
        <source>Save averaged frame</source>
        <translation>Gemitteltes Bild speichern</translation>
    </message>
    <message>
        <source>16-bit PGM images (*.pgm)</source>
        <translation>16-Bit-PGM-Bilder (*.pgm)</translation>
    </message>
    <message>
        <source>Averaged frame saved to %1</source>
        <translation>Gemitteltes Bild in %1 gespeichert</translation>
    </message>
    <message>
        <source>hot pixel list in the camera</source>
        <translation>Hotpixel-Liste in der Kamera</translation>
    </message>
    <message>
        <source>no defect table: host-side list</source>
        <translation>keine Defekttabelle: rechnerseitige Liste</translation>
    </message>
    <message>
        <source>no list in the camera</source>
        <translation>keine Liste in der Kamera</translation>
    </message>
    <message>
        <source>This action will completely overwrite the user defined hot pixel list kept for this camera on this computer.</source>
        <translation>Diese Aktion überschreibt die benutzerdefinierte Hotpixel-Liste, die für diese Kamera auf diesem Rechner gespeichert ist, vollständig.</translation>
    </message>
    <message>
        <source>Hot pixel list kept on this computer</source>
        <translation>Hotpixel-Liste auf diesem Rechner gespeichert</translation>
    </message>
</context>
<context>
    <name>ParameterBlockWidget</name>
    <message>
        <source>Framerate</source>
        <translation>Bildrate</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>Belichtung</translation>
    </message>
    <message>
        <source>Mastergain</source>
        <translation>Gesamtverstärkung</translation>
    </message>
</context>
<context>
    <name>ZoomStepper</name>
    <message>
        <source>Zoom &amp;in</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom &amp;out</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
</context>
</TS>
