<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AreaCodesMenu</name>
    <message>
        <source>An area-code table for %1 has %2 entries.
Write it to %3 and use it?</source>
        <translation>Eine Vorwahltabelle für %1 hat %2 Einträge.
In %3 schreiben und verwenden?</translation>
    </message>
    <message>
        <source>Your %1 holds %2 entries. Replace them with the %3 entries of the new table?</source>
        <translation>Ihre %1 enthält %2 Einträge. Durch die %3 Einträge der neuen Tabelle ersetzen?</translation>
    </message>
    <message>
        <source>Unable to write %1; it is left as it was.</source>
        <translation>%1 kann nicht geschrieben werden; die Datei bleibt, wie sie war.</translation>
    </message>
</context>
<context>
    <name>CEditDataDlg</name>
    <message>
        <source>not a phone number</source>
        <translation>keine Telefonnummer</translation>
    </message>
    <message>
        <source>not a complete phone number</source>
        <translation>keine vollständige Telefonnummer</translation>
    </message>
    <message>
        <source>Enter a number.</source>
        <translation>Bitte eine Nummer eingeben.</translation>
    </message>
    <message>
        <source>Only digits, blanks and - / ( ) . may be typed here.</source>
        <translation>Hier sind nur Ziffern, Leerzeichen und - / ( ) . erlaubt.</translation>
    </message>
    <message>
        <source>edit data</source>
        <translation>Daten bearbeiten</translation>
    </message>
    <message>
        <source>&amp;number</source>
        <translation>&amp;Nummer</translation>
    </message>
    <message>
        <source>n&amp;ame</source>
        <translation>Na&amp;me</translation>
    </message>
    <message>
        <source>&amp;speak</source>
        <translation>An&amp;sage</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>stored as %1</source>
        <translation>gespeichert als %1</translation>
    </message>
    <message>
        <source>Unable to save %1</source>
        <translation>%1 kann nicht gespeichert werden</translation>
    </message>
</context>
<context>
    <name>CMonitorDlg</name>
    <message>
        <source>TAVO is loading the call history (%1 MB)...</source>
        <translation>TAVO lädt die Anrufliste (%1 MB)...</translation>
    </message>
    <message>
        <source>Sea&amp;rch:</source>
        <translation>Su&amp;chen:</translation>
    </message>
    <message>
        <source>searching...</source>
        <translation>Suche läuft...</translation>
    </message>
    <message>
        <source>&amp;System</source>
        <translation>&amp;System</translation>
    </message>
    <message>
        <source>&amp;options...</source>
        <translation>&amp;Optionen...</translation>
    </message>
    <message>
        <source>Ctrl+,</source>
        <translation>Ctrl+,</translation>
    </message>
    <message>
        <source>&amp;area codes...</source>
        <translation>&amp;Vorwahlen...</translation>
    </message>
    <message>
        <source>s&amp;tatistics...</source>
        <translation>S&amp;tatistik...</translation>
    </message>
    <message>
        <source>e&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>&amp;show</source>
        <translation>&amp;Anzeigen</translation>
    </message>
    <message>
        <source>&amp;Hide</source>
        <translation>&amp;Verbergen</translation>
    </message>
    <message>
        <source>&amp;Show</source>
        <translation>&amp;Anzeigen</translation>
    </message>
    <message>
        <source>TAVO is still running</source>
        <translation>TAVO läuft weiter</translation>
    </message>
    <message>
        <source>TAVO watches the line in the tray. Click its icon to show the window; &quot;exit&quot; in its menu ends TAVO.</source>
        <translation>TAVO überwacht die Leitung weiter aus dem Infobereich. Ein Klick auf das Symbol zeigt das Fenster; „Beenden“ in seinem Menü beendet TAVO.</translation>
    </message>
    <message>
        <source>You must select an item !</source>
        <translation>Bitte wählen Sie einen Eintrag aus!</translation>
    </message>
    <message>
        <source>1 call matches &quot;%1&quot;</source>
        <translation>1 Anruf passt zu „%1“</translation>
    </message>
    <message>
        <source>%1 calls match &quot;%2&quot;</source>
        <translation>%1 Anrufe passen zu „%2“</translation>
    </message>
    <message>
        <source>, the newest %1 shown</source>
        <translation>, die neuesten %1 angezeigt</translation>
    </message>
</context>
<context>
    <name>COption</name>
    <message>
        <source>options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>COptionDirectory</name>
    <message>
        <source>number, name or speak text</source>
        <translation>Nummer, Name oder Ansagetext</translation>
    </message>
    <message>
        <source>&amp;filter</source>
        <translation>&amp;Filter</translation>
    </message>
    <message>
        <source>name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>speak text</source>
        <translation>Ansagetext</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>C&amp;hange</source>
        <translation>Ä&amp;ndern</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>&amp;import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
</context>
<context>
    <name>COptionLine</name>
    <message>
        <source>&amp;CAPI: an ISDN card, or a router&apos;s CAPI over the network</source>
        <translation>&amp;CAPI: eine ISDN-Karte oder das CAPI eines Routers über das Netz</translation>
    </message>
    <message>
        <source>s&amp;imulated line (no calls, for trying TAVO out)</source>
        <translation>s&amp;imulierte Leitung (keine Anrufe, zum Ausprobieren von TAVO)</translation>
    </message>
    <message>
        <source>the router&apos;s call-&amp;monitor feed</source>
        <translation>der Anruf&amp;monitor des Routers</translation>
    </message>
    <message>
        <source>a PBX&apos;s manager &amp;interface (AMI)</source>
        <translation>die Manager-&amp;Schnittstelle einer Telefonanlage (AMI)</translation>
    </message>
    <message>
        <source>empty: every context</source>
        <translation>leer: jeder Kontext</translation>
    </message>
    <message>
        <source>The router sends its feed once it is switched on there,
usually by dialling a short code on a telephone connected to it.</source>
        <translation>Der Router sendet die Meldungen, sobald sie dort eingeschaltet sind,
meist durch Wählen eines Kurzcodes an einem angeschlossenen Telefon.</translation>
    </message>
    <message>
        <source>The command line chose the lines of this run.
What is saved here is used when TAVO starts without them.</source>
        <translation>Die Leitungen dieses Laufs wurden auf der Befehlszeile gewählt.
Was hier gespeichert wird, gilt bei einem Start ohne diese Angabe.</translation>
    </message>
    <message>
        <source>&amp;host</source>
        <translation>&amp;Host</translation>
    </message>
    <message>
        <source>&amp;port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>h&amp;ost</source>
        <translation>H&amp;ost</translation>
    </message>
    <message>
        <source>po&amp;rt</source>
        <translation>Po&amp;rt</translation>
    </message>
    <message>
        <source>&amp;user</source>
        <translation>&amp;Benutzer</translation>
    </message>
    <message>
        <source>s&amp;ecret</source>
        <translation>G&amp;eheimnis</translation>
    </message>
    <message>
        <source>con&amp;text</source>
        <translation>Kon&amp;text</translation>
    </message>
    <message>
        <source>The call-monitor port must be a number from 1 to 65535.</source>
        <translation>Der Port des Anrufmonitors muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The call-monitor feed needs the router&apos;s host.</source>
        <translation>Der Anrufmonitor braucht den Host des Routers.</translation>
    </message>
    <message>
        <source>The manager interface&apos;s port must be a number from 1 to 65535.</source>
        <translation>Der Port der Manager-Schnittstelle muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The manager interface needs the user TAVO logs in as.</source>
        <translation>Die Manager-Schnittstelle braucht den Benutzer, als der TAVO sich anmeldet.</translation>
    </message>
    <message>
        <source>The manager interface needs the PBX&apos;s host.</source>
        <translation>Die Manager-Schnittstelle braucht den Host der Telefonanlage.</translation>
    </message>
    <message>
        <source>A host is one name or address, without blanks.</source>
        <translation>Ein Host ist ein Name oder eine Adresse, ohne Leerzeichen.</translation>
    </message>
    <message>
        <source>CAPI and the simulated line are both the CAPI line: choose one of them.</source>
        <translation>CAPI und die simulierte Leitung sind beide die CAPI-Leitung: Wählen Sie eine davon.</translation>
    </message>
    <message>
        <source>Choose at least one line calls come from.</source>
        <translation>Wählen Sie mindestens eine Leitung, über die Anrufe kommen.</translation>
    </message>
</context>
<context>
    <name>COptionMain</name>
    <message>
        <source>start &amp;minimize</source>
        <translation>&amp;minimiert starten</translation>
    </message>
    <message>
        <source>do not show in &amp;tasklist when minimized</source>
        <translation>minimiert nicht in der &amp;Taskleiste zeigen</translation>
    </message>
    <message>
        <source>system &amp;beep</source>
        <translation>S&amp;ystemton</translation>
    </message>
    <message>
        <source>&amp;play sound</source>
        <translation>&amp;Klang abspielen</translation>
    </message>
    <message>
        <source>spea&amp;k</source>
        <translation>&amp;Sprechen</translation>
    </message>
    <message>
        <source>only MSNs with &amp;names</source>
        <translation>nur MSNs mit &amp;Namen</translation>
    </message>
    <message>
        <source>&amp;display time</source>
        <translation>Anzeige&amp;dauer</translation>
    </message>
    <message>
        <source>sec. ( 0 = disable popup window )</source>
        <translation>Sek. ( 0 = kein Popup-Fenster )</translation>
    </message>
    <message>
        <source>speak te&amp;xt</source>
        <translation>Ansa&amp;getext</translation>
    </message>
    <message>
        <source>speak text of unknown callers</source>
        <translation>Ansagetext für unbekannte Anrufer</translation>
    </message>
    <message>
        <source>font</source>
        <translation>Schrift</translation>
    </message>
    <message>
        <source>s&amp;elect...</source>
        <translation>&amp;Wählen...</translation>
    </message>
    <message>
        <source>the popup&apos;s font</source>
        <translation>die Schrift des Popups</translation>
    </message>
    <message>
        <source>Please enter an integer.</source>
        <translation>Bitte eine ganze Zahl eingeben.</translation>
    </message>
    <message>
        <source>Please enter an integer between 0 and 10.</source>
        <translation>Bitte eine ganze Zahl von 0 bis 10 eingeben.</translation>
    </message>
</context>
<context>
    <name>COptionNetwork</name>
    <message>
        <source>NC&amp;ID server</source>
        <translation>NC&amp;ID-Server</translation>
    </message>
    <message>
        <source>NCID has no login: every address in &quot;allow&quot; sees the calls.</source>
        <translation>NCID hat keine Anmeldung: jede Adresse unter „Erlauben“ sieht die Anrufe.</translation>
    </message>
    <message>
        <source>M&amp;QTT broker</source>
        <translation>M&amp;QTT-Broker</translation>
    </message>
    <message>
        <source>tavo/&lt;host name&gt;</source>
        <translation>tavo/&lt;Rechnername&gt;</translation>
    </message>
    <message>
        <source>Home Assistant di&amp;scovery</source>
        <translation>Home-Assistant-Er&amp;kennung</translation>
    </message>
    <message>
        <source>the own popup</source>
        <translation>das eigene Popup</translation>
    </message>
    <message>
        <source>a desktop notification</source>
        <translation>eine Desktop-Benachrichtigung</translation>
    </message>
    <message>
        <source>both</source>
        <translation>beides</translation>
    </message>
    <message>
        <source>run for each call, without a shell</source>
        <translation>für jeden Anruf ausgeführt, ohne Shell</translation>
    </message>
    <message>
        <source>The call&apos;s fields reach the command as TAVO_NUMBER, TAVO_NAME, ... variables.</source>
        <translation>Die Felder des Anrufs erreichen den Befehl als Variablen TAVO_NUMBER, TAVO_NAME, ...</translation>
    </message>
    <message>
        <source>a&amp;ddress</source>
        <translation>A&amp;dresse</translation>
    </message>
    <message>
        <source>&amp;port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>&amp;allow</source>
        <translation>&amp;Erlauben</translation>
    </message>
    <message>
        <source>repla&amp;y</source>
        <translation>Wieder&amp;gabe</translation>
    </message>
    <message>
        <source>&amp;host</source>
        <translation>&amp;Host</translation>
    </message>
    <message>
        <source>po&amp;rt</source>
        <translation>Po&amp;rt</translation>
    </message>
    <message>
        <source>&amp;user</source>
        <translation>&amp;Benutzer</translation>
    </message>
    <message>
        <source>pass&amp;word</source>
        <translation>Pass&amp;wort</translation>
    </message>
    <message>
        <source>CA &amp;file</source>
        <translation>CA-Da&amp;tei</translation>
    </message>
    <message>
        <source>&amp;topic</source>
        <translation>The&amp;ma</translation>
    </message>
    <message>
        <source>a&amp;nnounce calls with</source>
        <translation>Anrufe &amp;zeigen mit</translation>
    </message>
    <message>
        <source>co&amp;mmand</source>
        <translation>Be&amp;fehl</translation>
    </message>
    <message>
        <source>ar&amp;guments</source>
        <translation>Arg&amp;umente</translation>
    </message>
    <message>
        <source>tim&amp;e-out (s)</source>
        <translation>Zeitlimit (&amp;s)</translation>
    </message>
    <message>
        <source>The NCID port must be a number from 1 to 65535.</source>
        <translation>Der NCID-Port muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>The NCID replay must be a number of calls from 0 to 10000.</source>
        <translation>Die NCID-Wiedergabe muss eine Anzahl Anrufe von 0 bis 10000 sein.</translation>
    </message>
    <message>
        <source>The MQTT port must be a number from 1 to 65535.</source>
        <translation>Der MQTT-Port muss eine Zahl von 1 bis 65535 sein.</translation>
    </message>
    <message>
        <source>MQTT needs the broker&apos;s host.</source>
        <translation>MQTT braucht den Host des Brokers.</translation>
    </message>
    <message>
        <source>The command&apos;s time-out must be a number of seconds from 1 to 86400.</source>
        <translation>Das Zeitlimit des Befehls muss eine Anzahl Sekunden von 1 bis 86400 sein.</translation>
    </message>
</context>
<context>
    <name>COptionPage</name>
    <message>
        <source>caller</source>
        <translation>Anrufer</translation>
    </message>
    <message>
        <source>number</source>
        <translation>Nummer</translation>
    </message>
    <message>
        <source>main</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>MSN</source>
        <translation>MSN</translation>
    </message>
    <message>
        <source>network</source>
        <translation>Netzwerk</translation>
    </message>
    <message>
        <source>telnet</source>
        <translation>Telnet</translation>
    </message>
    <message>
        <source>speech</source>
        <translation>Sprachausgabe</translation>
    </message>
    <message>
        <source>rules</source>
        <translation>Regeln</translation>
    </message>
    <message>
        <source>line</source>
        <translation>Leitung</translation>
    </message>
</context>
<context>
    <name>COptionRules</name>
    <message>
        <source>&amp;check</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>One rule a line: announce, quiet or reject, then its conditions,
e.g. known, withheld, number=0900*, time=22:00-07:00, days=sat,sun.
The first rule whose conditions all hold decides.</source>
        <translation>Eine Regel je Zeile: announce, quiet oder reject, dann ihre Bedingungen,
z. B. known, withheld, number=0900*, time=22:00-07:00, days=sat,sun.
Es entscheidet die erste Regel, deren Bedingungen alle zutreffen.</translation>
    </message>
    <message>
        <source>&amp;rules of %1</source>
        <translation>&amp;Regeln in %1</translation>
    </message>
    <message>
        <source>&amp;faults</source>
        <translation>&amp;Fehler</translation>
    </message>
    <message>
        <source>The rules file cannot be read; it is left as it is.</source>
        <translation>Die Regeldatei kann nicht gelesen werden; sie bleibt, wie sie ist.</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>No rules: every call is announced.</source>
        <translation>Keine Regeln: Jeder Anruf wird gemeldet.</translation>
    </message>
    <message>
        <source>One rule, no faults.</source>
        <translation>Eine Regel, keine Fehler.</translation>
    </message>
    <message>
        <source>%1 rules, no faults.</source>
        <translation>%1 Regeln, keine Fehler.</translation>
    </message>
    <message>
        <source>One fault: the rules cannot be saved like this.</source>
        <translation>Ein Fehler: So können die Regeln nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>%1 faults: the rules cannot be saved like this.</source>
        <translation>%1 Fehler: So können die Regeln nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>The rules have faults and are not saved:%1</source>
        <translation>Die Regeln enthalten Fehler und werden nicht gespeichert:%1</translation>
    </message>
    <message>
        <source>The rules cannot be saved to %1: %2</source>
        <translation>Die Regeln können nicht in %1 gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>COptionTTS</name>
    <message>
        <source>available text-to-speech &amp;engines</source>
        <translation>verfügbare &amp;Stimmen</translation>
    </message>
    <message>
        <source>s&amp;peed</source>
        <translation>Tem&amp;po</translation>
    </message>
    <message>
        <source>p&amp;itch</source>
        <translation>Tonh&amp;öhe</translation>
    </message>
    <message>
        <source>&amp;volume</source>
        <translation>&amp;Lautstärke</translation>
    </message>
    <message>
        <source>text to try the voice with</source>
        <translation>Text zum Ausprobieren der Stimme</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Testen</translation>
    </message>
</context>
<context>
    <name>COptionTelnet</name>
    <message>
        <source>&amp;enable telnet server</source>
        <translation>Telnet-Server &amp;einschalten</translation>
    </message>
    <message>
        <source>Leave userid field blank to disable logon feature !</source>
        <translation>Benutzerkennung leer lassen, um die Anmeldung abzuschalten !</translation>
    </message>
    <message>
        <source>port &amp;number</source>
        <translation>Port&amp;nummer</translation>
    </message>
    <message>
        <source>&amp;userid</source>
        <translation>&amp;Benutzerkennung</translation>
    </message>
    <message>
        <source>pass&amp;word</source>
        <translation>Pass&amp;wort</translation>
    </message>
</context>
<context>
    <name>CPopupDlg</name>
    <message>
        <source>incoming call</source>
        <translation>Eingehender Anruf</translation>
    </message>
</context>
<context>
    <name>CStatisticsDlg</name>
    <message>
        <source>calls</source>
        <translation>Anrufe</translation>
    </message>
    <message>
        <source>TAVO statistics</source>
        <translation>TAVO-Statistik</translation>
    </message>
    <message>
        <source>number</source>
        <translation>Nummer</translation>
    </message>
    <message>
        <source>name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>counting...</source>
        <translation>Zählung läuft...</translation>
    </message>
    <message>
        <source>%1 calls in the last %2 days</source>
        <translation>%1 Anrufe in den letzten %2 Tagen</translation>
    </message>
    <message>
        <source>calls per day</source>
        <translation>Anrufe pro Tag</translation>
    </message>
    <message>
        <source>calls per hour of the day (all calls)</source>
        <translation>Anrufe pro Tagesstunde (alle Anrufe)</translation>
    </message>
</context>
<context>
    <name>CallSearchBar</name>
    <message>
        <source>search all calls by number, name or place</source>
        <translation>alle Anrufe nach Nummer, Name oder Ort durchsuchen</translation>
    </message>
</context>
<context>
    <name>Cp1252Text</name>
    <message>
        <source>“%1” cannot be stored: names and texts are kept in the Windows-1252 character set.</source>
        <translation>„%1“ kann nicht gespeichert werden: Namen und Texte werden im Zeichensatz Windows-1252 gehalten.</translation>
    </message>
</context>
<context>
    <name>DayListWidget</name>
    <message>
        <source>date/time</source>
        <translation>Datum/Uhrzeit</translation>
    </message>
    <message>
        <source>to</source>
        <translation>An</translation>
    </message>
    <message>
        <source>who</source>
        <translation>Anrufer</translation>
    </message>
    <message>
        <source>place</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Rejected by line %1 of the rules: %2</source>
        <translation>Abgewiesen durch Zeile %1 der Regeln: %2</translation>
    </message>
    <message>
        <source>Kept quiet by line %1 of the rules: %2</source>
        <translation>Stumm geschaltet durch Zeile %1 der Regeln: %2</translation>
    </message>
    <message>
        <source>&amp;quiet this caller</source>
        <translation>Anrufer &amp;stumm schalten</translation>
    </message>
    <message>
        <source>&amp;reject this caller</source>
        <translation>Anrufer &amp;abweisen</translation>
    </message>
    <message>
        <source>The rule &quot;%1&quot; cannot be added to %2: %3</source>
        <translation>Die Regel &quot;%1&quot; kann nicht in %2 eingetragen werden: %3</translation>
    </message>
</context>
<context>
    <name>DayTabs</name>
    <message>
        <source>Sun</source>
        <translation>So</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>Mo</translation>
    </message>
    <message>
        <source>Tue</source>
        <translation>Di</translation>
    </message>
    <message>
        <source>Wed</source>
        <translation>Mi</translation>
    </message>
    <message>
        <source>Thu</source>
        <translation>Do</translation>
    </message>
    <message>
        <source>Fri</source>
        <translation>Fr</translation>
    </message>
    <message>
        <source>Sat</source>
        <translation>Sa</translation>
    </message>
</context>
<context>
    <name>FontChoiceDialog</name>
    <message>
        <source>font</source>
        <translation>Schrift</translation>
    </message>
    <message>
        <source>&amp;Face</source>
        <translation>&amp;Schriftart</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>&amp;Größe</translation>
    </message>
</context>
<context>
    <name>ImportPreviewDlg</name>
    <message>
        <source>Import into the phone book</source>
        <translation>Ins Telefonbuch importieren</translation>
    </message>
    <message>
        <source>Add %1 entries</source>
        <translation>%1 Einträge hinzufügen</translation>
    </message>
    <message>
        <source>Showing %L1 of %L2 lines...</source>
        <translation>%L1 von %L2 Zeilen angezeigt...</translation>
    </message>
    <message>
        <source>Import address books</source>
        <translation>Adressbücher importieren</translation>
    </message>
    <message>
        <source>Address books (*.vcf *.vcard *.csv);;All files (*)</source>
        <translation>Adressbücher (*.vcf *.vcard *.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Reading the address books...</source>
        <translation>Adressbücher werden gelesen...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Reading the address books (%1 of %2)...</source>
        <translation>Adressbücher werden gelesen (%1 von %2)...</translation>
    </message>
    <message>
        <source>Looking at the numbers: %L1 of %L2...</source>
        <translation>Nummern werden geprüft: %L1 von %L2...</translation>
    </message>
    <message>
        <source>Numbers as the line delivers them in %1 (from %2).</source>
        <translation>Nummern, wie die Leitung sie in %1 liefert (aus %2).</translation>
    </message>
</context>
<context>
    <name>LineMessages</name>
    <message>
        <source>Error: ISDN-driver not installed</source>
        <translation>Fehler: kein ISDN-Treiber installiert</translation>
    </message>
    <message>
        <source>Error: No ISDN-controller installed</source>
        <translation>Fehler: kein ISDN-Controller installiert</translation>
    </message>
</context>
<context>
    <name>LineStatus</name>
    <message>
        <source>Line: listening</source>
        <translation>Leitung: empfangsbereit</translation>
    </message>
    <message>
        <source>No ISDN driver: no calls are received</source>
        <translation>Kein ISDN-Treiber: Es werden keine Anrufe empfangen</translation>
    </message>
    <message>
        <source>Line lost since %1</source>
        <translation>Leitung unterbrochen seit %1</translation>
    </message>
    <message>
        <source>, retrying in %1 s</source>
        <translation>, neuer Versuch in %1 s</translation>
    </message>
    <message>
        <source>, retrying now</source>
        <translation>, neuer Versuch läuft</translation>
    </message>
    <message>
        <source>starting</source>
        <translation>startet</translation>
    </message>
    <message>
        <source>listening</source>
        <translation>empfangsbereit</translation>
    </message>
    <message>
        <source>no ISDN driver</source>
        <translation>kein ISDN-Treiber</translation>
    </message>
    <message>
        <source>lost since %1</source>
        <translation>unterbrochen seit %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>CAPI</source>
        <translation>CAPI</translation>
    </message>
    <message>
        <source>simulated line</source>
        <translation>simulierte Leitung</translation>
    </message>
    <message>
        <source>call monitor %1</source>
        <translation>Anrufmonitor %1</translation>
    </message>
    <message>
        <source>AMI %1</source>
        <translation>AMI %1</translation>
    </message>
</context>
<context>
    <name>OutputStatus</name>
    <message>
        <source>%1: starting</source>
        <translation>%1: startet</translation>
    </message>
    <message>
        <source>%1: working</source>
        <translation>%1: in Betrieb</translation>
    </message>
    <message>
        <source>%1 failing: %2</source>
        <translation>%1 gestört: %2</translation>
    </message>
</context>
</TS>
