<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>AlertRow</name>
    <message>
        <source>Unseen</source>
        <extracomment>The dot on an alert that has not been opened yet.</extracomment>
        <translation>Non visto</translation>
    </message>
</context>
<context>
    <name>AlertsScreen</name>
    <message>
        <source>Alerts</source>
        <translation>Avvisi</translation>
    </message>
    <message>
        <source>Alert actions</source>
        <translation>Azioni sugli avvisi</translation>
    </message>
    <message>
        <source>Mark all as seen</source>
        <translation>Segna tutti come visti</translation>
    </message>
    <message>
        <source>Also show detections</source>
        <translation>Mostra anche i rilevamenti</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Search camera or object</source>
        <translation>Cerca telecamera o oggetto</translation>
    </message>
    <message>
        <source>All by hour</source>
        <translation>Tutti per ora</translation>
    </message>
    <message>
        <source>No alerts.</source>
        <translation>Nessun avviso.</translation>
    </message>
    <message>
        <source>Choose an alert from the list</source>
        <translation>Scegli un avviso dall&apos;elenco</translation>
    </message>
    <message>
        <source>Mark all alerts as seen?</source>
        <translation>Segnare tutti gli avvisi come visti?</translation>
    </message>
</context>
<context>
    <name>AppModel</name>
    <message>
        <source>Signed in, but the password could not be saved in the keyring: it will be asked for again.</source>
        <translation>Accesso eseguito, ma non è stato possibile salvare la password nel portachiavi: verrà chiesta di nuovo.</translation>
    </message>
</context>
<context>
    <name>BISearchField</name>
    <message>
        <source>Clear</source>
        <translation>Cancella</translation>
    </message>
</context>
<context>
    <name>BITabBar</name>
    <message>
        <source>Home</source>
        <extracomment>Tab title: the overview screen.</extracomment>
        <translation>Home</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
    <message>
        <source>Alerts</source>
        <translation>Avvisi</translation>
    </message>
    <message>
        <source>Status</source>
        <extracomment>Tab title: the server&apos;s health and statistics.</extracomment>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>%1, %2 new</source>
        <extracomment>Spoken name of a tab with a badge: &quot;Alerts, 3 new&quot;.</extracomment>
        <translation>%1, %2 nuovi</translation>
    </message>
</context>
<context>
    <name>CameraHistory</name>
    <message>
        <source>%1:00 – %2:00</source>
        <extracomment>An hour row&apos;s span on the 24-hour clock, e.g. &quot;09:00 – 10:00&quot;.</extracomment>
        <translation>%1:00 – %2:00</translation>
    </message>
    <message>
        <source>1 event</source>
        <translation>1 evento</translation>
    </message>
    <message numerus="yes">
        <source>%n events</source>
        <translation>
            <numerusform>%n evento</numerusform>
            <numerusform>%n eventi</numerusform>
        </translation>
    </message>
    <message>
        <source>motion %1</source>
        <extracomment>The hour&apos;s motion score, e.g. &quot;motion 5,310&quot;.</extracomment>
        <translation>movimento %1</translation>
    </message>
    <message>
        <source>continuous recording</source>
        <translation>registrazione continua</translation>
    </message>
</context>
<context>
    <name>CameraHistoryModel</name>
    <message>
        <source>Whole day</source>
        <translation>Giornata intera</translation>
    </message>
    <message>
        <source>%1 recorded</source>
        <extracomment>Under &quot;Whole day&quot;: the total recorded time, e.g. &quot;5 h 20 min recorded&quot;.</extracomment>
        <translation>%1 registrati</translation>
    </message>
</context>
<context>
    <name>CameraHistoryScreen</name>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
    <message>
        <source>Recordings</source>
        <translation>Registrazioni</translation>
    </message>
    <message>
        <source>Alerts</source>
        <translation>Avvisi</translation>
    </message>
    <message>
        <source>View: %1</source>
        <extracomment>Spoken name of the button that switches between recordings and alerts.</extracomment>
        <translation>Vista: %1</translation>
    </message>
    <message>
        <source>View</source>
        <extracomment>Menu heading over the &quot;Recordings&quot; and &quot;Alerts&quot; choices.</extracomment>
        <translation>Vista</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>No recordings on this day.</source>
        <translation>Nessuna registrazione in questo giorno.</translation>
    </message>
    <message>
        <source>No alerts on this day.</source>
        <translation>Nessun avviso in questo giorno.</translation>
    </message>
</context>
<context>
    <name>CameraLiveScreen</name>
    <message>
        <source>This camera has no substream</source>
        <translation>Questa telecamera non ha un flusso secondario</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
    <message>
        <source>Previous camera</source>
        <translation>Telecamera precedente</translation>
    </message>
    <message>
        <source>Next camera</source>
        <translation>Telecamera successiva</translation>
    </message>
    <message>
        <source>Quality</source>
        <extracomment>Button choosing the live stream: main stream or substream.</extracomment>
        <translation>Qualità</translation>
    </message>
    <message>
        <source>High (main stream)</source>
        <translation>Alta (flusso principale)</translation>
    </message>
    <message>
        <source>Reduced (substream)</source>
        <translation>Ridotta (flusso secondario)</translation>
    </message>
    <message>
        <source>Sound on</source>
        <extracomment>Button actions: turn the live sound on, or off.</extracomment>
        <translation>Attiva audio</translation>
    </message>
    <message>
        <source>Sound off</source>
        <translation>Disattiva audio</translation>
    </message>
    <message>
        <source>Save snapshot</source>
        <translation>Salva istantanea</translation>
    </message>
    <message>
        <source>Save snapshot (the camera is not sending pictures)</source>
        <translation>Salva istantanea (la telecamera non invia immagini)</translation>
    </message>
    <message>
        <source>All recordings</source>
        <translation>Tutte le registrazioni</translation>
    </message>
    <message>
        <source>Alerts</source>
        <translation>Avvisi</translation>
    </message>
    <message>
        <source>Hide the other cameras</source>
        <translation>Nascondi le altre telecamere</translation>
    </message>
    <message>
        <source>Show the other cameras</source>
        <translation>Mostra le altre telecamere</translation>
    </message>
    <message>
        <source>Leave immersive mode</source>
        <translation>Esci dalla modalità immersiva</translation>
    </message>
    <message>
        <source>Immersive mode</source>
        <translation>Modalità immersiva</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Mostra nella cartella</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>Copia percorso</translation>
    </message>
</context>
<context>
    <name>CameraLiveViewModel</name>
    <message>
        <source>Reconnecting…</source>
        <translation>Riconnessione…</translation>
    </message>
    <message>
        <source>Reduced quality</source>
        <translation>Qualità ridotta</translation>
    </message>
    <message>
        <source>High quality</source>
        <translation>Alta qualità</translation>
    </message>
    <message>
        <source> · MJPEG</source>
        <extracomment>Appended to the stream quality: how the picture arrives (MJPEG frames, or the live video stream).</extracomment>
        <translation> · MJPEG</translation>
    </message>
    <message>
        <source> · live</source>
        <translation> · in diretta</translation>
    </message>
    <message>
        <source>%1 is not sending pictures: there is no snapshot to save</source>
        <translation>%1 non invia immagini: non c&apos;è un&apos;istantanea da salvare</translation>
    </message>
    <message>
        <source>Couldn&apos;t save the snapshot</source>
        <translation>Impossibile salvare l&apos;istantanea</translation>
    </message>
    <message>
        <source>Snapshot saved to %1</source>
        <translation>Istantanea salvata in %1</translation>
    </message>
</context>
<context>
    <name>CameraOrderView</name>
    <message>
        <source>Camera order</source>
        <translation>Ordine delle telecamere</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Drag a camera to move it, or select it and press Alt+↑ or Alt+↓.</source>
        <translation>Trascina una telecamera per spostarla, oppure selezionala e premi Alt+↑ o Alt+↓.</translation>
    </message>
    <message>
        <source>No cameras.</source>
        <translation>Nessuna telecamera.</translation>
    </message>
</context>
<context>
    <name>CameraPickerGrid</name>
    <message>
        <source>No cameras</source>
        <translation>Nessuna telecamera</translation>
    </message>
</context>
<context>
    <name>CameraTile</name>
    <message>
        <source>%1, unavailable</source>
        <translation>%1, non disponibile</translation>
    </message>
    <message>
        <source>Unavailable</source>
        <translation>Non disponibile</translation>
    </message>
    <message>
        <source>Not live</source>
        <translation>Non in diretta</translation>
    </message>
</context>
<context>
    <name>CamerasView</name>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
    <message>
        <source>Camera options</source>
        <translation>Opzioni telecamere</translation>
    </message>
    <message>
        <source>Refresh rate</source>
        <translation>Frequenza di aggiornamento</translation>
    </message>
    <message>
        <source>Reload cameras</source>
        <translation>Ricarica telecamere</translation>
    </message>
    <message>
        <source>New window</source>
        <translation>Nuova finestra</translation>
    </message>
    <message>
        <source>No cameras.</source>
        <translation>Nessuna telecamera.</translation>
    </message>
</context>
<context>
    <name>CertificateChangeDialog</name>
    <message>
        <source>The server&apos;s certificate has changed.</source>
        <translation>Il certificato del server è cambiato.</translation>
    </message>
    <message>
        <source>If the server was reinstalled or its certificate renewed, this is expected. Otherwise someone may be intercepting the connection: compare the fingerprints with the server&apos;s before trusting the new one.</source>
        <translation>Se il server è stato reinstallato o il suo certificato rinnovato, è normale. Altrimenti qualcuno potrebbe intercettare la connessione: confronta le impronte con quelle del server prima di considerare attendibile il nuovo certificato.</translation>
    </message>
    <message>
        <source>Trusted until now (SHA-256)</source>
        <translation>Attendibile finora (SHA-256)</translation>
    </message>
    <message>
        <source>Offered now (SHA-256)</source>
        <translation>Presentato ora (SHA-256)</translation>
    </message>
    <message>
        <source>Trust the new certificate</source>
        <translation>Considera attendibile il nuovo certificato</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Trust the new certificate?</source>
        <translation>Considerare attendibile il nuovo certificato?</translation>
    </message>
    <message>
        <source>From now on Kestrova will accept only the new certificate from this server.</source>
        <translation>D&apos;ora in poi Kestrova accetterà solo il nuovo certificato da questo server.</translation>
    </message>
    <message>
        <source>Trust</source>
        <translation>Considera attendibile</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>No stored server is called &quot;%1&quot;.</source>
        <translation>Nessun server salvato si chiama «%1».</translation>
    </message>
    <message>
        <source>Desktop client for the Frigate network video recorder.</source>
        <translation>Client desktop per il videoregistratore di rete Frigate.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Mostra questo aiuto ed esce.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Mostra la versione ed esce.</translation>
    </message>
    <message>
        <source>Connect to the stored server called &lt;name&gt;.</source>
        <translation>Si connette al server salvato chiamato &lt;nome&gt;.</translation>
    </message>
    <message>
        <source>name</source>
        <extracomment>Placeholder of the --server option in the help text.</extracomment>
        <translation>nome</translation>
    </message>
    <message>
        <source>Use the interface language &lt;code&gt; (en, it).</source>
        <translation>Usa la lingua dell’interfaccia &lt;code&gt; (en, it).</translation>
    </message>
    <message>
        <source>Try &quot;%1 --help&quot;.</source>
        <translation>Prova «%1 --help».</translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation>Argomento inatteso: %1</translation>
    </message>
</context>
<context>
    <name>ConfirmDialog</name>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>ConnectionBanner</name>
    <message>
        <source>Connection to the server lost.</source>
        <translation>Connessione al server persa.</translation>
    </message>
    <message>
        <source>Your sign-in has expired.</source>
        <translation>Il tuo accesso è scaduto.</translation>
    </message>
    <message>
        <source>The server&apos;s certificate has changed.</source>
        <translation>Il certificato del server è cambiato.</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Riprova</translation>
    </message>
    <message>
        <source>Sign in again</source>
        <translation>Accedi di nuovo</translation>
    </message>
    <message>
        <source>Details…</source>
        <translation>Dettagli…</translation>
    </message>
</context>
<context>
    <name>ConnectionHealth</name>
    <message>
        <source>Last updated %1</source>
        <extracomment>%1 is a span of time before now, e.g. &quot;20 seconds ago&quot;.</extracomment>
        <translation>Ultimo aggiornamento %1</translation>
    </message>
</context>
<context>
    <name>ConnectionMode</name>
    <message>
        <source>Local network</source>
        <translation>Rete locale</translation>
    </message>
    <message>
        <source>Remote access</source>
        <translation>Accesso remoto</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Non connesso</translation>
    </message>
</context>
<context>
    <name>DesktopNotifications</name>
    <message>
        <source>Open</source>
        <translation>Apri</translation>
    </message>
</context>
<context>
    <name>FrigateClient</name>
    <message>
        <source>no free name for %1 in %2</source>
        <translation>nessun nome libero per %1 in %2</translation>
    </message>
    <message>
        <source>the answer is larger than %1 MB</source>
        <translation>la risposta supera %1 MB</translation>
    </message>
    <message>
        <source>the disk refused the data (full, or not writable)</source>
        <translation>il disco ha rifiutato i dati (pieno o non scrivibile)</translation>
    </message>
    <message>
        <source>%1 is not a writable folder</source>
        <translation>%1 non è una cartella scrivibile</translation>
    </message>
    <message>
        <source>the server sent no usable file</source>
        <translation>il server non ha inviato un file utilizzabile</translation>
    </message>
</context>
<context>
    <name>FrigateError</name>
    <message>
        <source>Server error (HTTP %1).</source>
        <translation>Errore del server (HTTP %1).</translation>
    </message>
    <message>
        <source>Invalid response from server: %1</source>
        <translation>Risposta non valida dal server: %1</translation>
    </message>
    <message>
        <source>Server not configured.</source>
        <translation>Server non configurato.</translation>
    </message>
    <message>
        <source>Frigate server unreachable.</source>
        <translation>Server Frigate non raggiungibile.</translation>
    </message>
    <message>
        <source>Invalid username or password.</source>
        <translation>Nome utente o password non validi.</translation>
    </message>
    <message>
        <source>Too many login attempts: try again in a minute.</source>
        <translation>Troppi tentativi di accesso: riprova tra un minuto.</translation>
    </message>
    <message>
        <source>The file could not be saved: %1</source>
        <translation>Impossibile salvare il file: %1</translation>
    </message>
</context>
<context>
    <name>GridRefreshChoices</name>
    <message>
        <source>1 second</source>
        <extracomment>How often the camera grid&apos;s pictures are refreshed.</extracomment>
        <translation>1 secondo</translation>
    </message>
    <message>
        <source>2 seconds</source>
        <translation>2 secondi</translation>
    </message>
    <message>
        <source>5 seconds</source>
        <translation>5 secondi</translation>
    </message>
    <message>
        <source>10 seconds</source>
        <translation>10 secondi</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 secondi</translation>
    </message>
</context>
<context>
    <name>GridRefreshPicker</name>
    <message>
        <source>Grid refresh: %1</source>
        <translation>Aggiornamento griglia: %1</translation>
    </message>
</context>
<context>
    <name>HomeView</name>
    <message>
        <source>Frigate</source>
        <translation>Frigate</translation>
    </message>
    <message>
        <source>Server actions</source>
        <translation>Azioni sul server</translation>
    </message>
    <message>
        <source>Reconnect</source>
        <translation>Riconnetti</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>CPU</source>
        <translation>CPU</translation>
    </message>
    <message>
        <source>RAM</source>
        <translation>RAM</translation>
    </message>
    <message>
        <source>DISK</source>
        <translation>DISCO</translation>
    </message>
    <message>
        <source>Detector</source>
        <translation>Rilevatore</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Recording disk</source>
        <translation>Disco registrazioni</translation>
    </message>
    <message>
        <source>%1 free of %2</source>
        <translation>%1 liberi su %2</translation>
    </message>
    <message>
        <source>Active cameras</source>
        <translation>Telecamere attive</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>In registrazione</translation>
    </message>
    <message>
        <source>Unseen alerts</source>
        <translation>Avvisi non visti</translation>
    </message>
</context>
<context>
    <name>HomeViewModel</name>
    <message>
        <source>Frigate %1 uptime %2</source>
        <translation>Frigate %1 attivo da %2</translation>
    </message>
</context>
<context>
    <name>IconTextField</name>
    <message>
        <source>Hide password</source>
        <translation>Nascondi password</translation>
    </message>
    <message>
        <source>Show password</source>
        <translation>Mostra password</translation>
    </message>
</context>
<context>
    <name>LivePlayer</name>
    <message>
        <source>The live stream cannot be read.</source>
        <translation>Impossibile leggere il flusso in diretta.</translation>
    </message>
    <message>
        <source>The live stream uses a format this player cannot decode.</source>
        <translation>Il flusso in diretta usa un formato che questo lettore non sa decodificare.</translation>
    </message>
</context>
<context>
    <name>LogListView</name>
    <message>
        <source>Start of the log</source>
        <translation>Inizio del log</translation>
    </message>
    <message>
        <source>Scroll up for earlier lines</source>
        <translation>Scorri verso l’alto per le righe precedenti</translation>
    </message>
</context>
<context>
    <name>LoginView</name>
    <message>
        <source>Enter the local or the remote address of the server.</source>
        <translation>Inserisci l&apos;indirizzo locale o remoto del server.</translation>
    </message>
    <message>
        <source>New server</source>
        <translation>Nuovo server</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Site name</source>
        <translation>Nome del sito</translation>
    </message>
    <message>
        <source>Local network address</source>
        <translation>Indirizzo nella rete locale</translation>
    </message>
    <message>
        <source>Remote address</source>
        <translation>Indirizzo remoto</translation>
    </message>
    <message>
        <source>Frigate username</source>
        <translation>Nome utente Frigate</translation>
    </message>
    <message>
        <source>Password (saved)</source>
        <translation>Password (salvata)</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>The local address is tried first, then the remote one.
Use the same login as the Frigate web interface; leave username and password empty if authentication is disabled.</source>
        <translation>Viene provato prima l&apos;indirizzo locale, poi quello remoto.
Usa le stesse credenziali dell&apos;interfaccia web di Frigate; lascia vuoti nome utente e password se l&apos;autenticazione è disattivata.</translation>
    </message>
    <message>
        <source>This system has no password keyring running: the password is used for this session only and will not be saved.</source>
        <translation>Su questo sistema non è attivo un portachiavi per le password: la password vale solo per questa sessione e non verrà salvata.</translation>
    </message>
    <message>
        <source>Connecting…</source>
        <translation>Connessione…</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connetti</translation>
    </message>
</context>
<context>
    <name>LogoBlock</name>
    <message>
        <source>client for Frigate NVR</source>
        <extracomment>Subtitle under the product name &quot;Kestrova&quot;.</extracomment>
        <translation>client per Frigate NVR</translation>
    </message>
</context>
<context>
    <name>MonthCalendar</name>
    <message>
        <source>Previous month</source>
        <translation>Mese precedente</translation>
    </message>
    <message>
        <source>Next month</source>
        <translation>Mese successivo</translation>
    </message>
    <message>
        <source>has recordings</source>
        <extracomment>Spoken after a day number in the calendar.</extracomment>
        <translation>con registrazioni</translation>
    </message>
</context>
<context>
    <name>PlayerController</name>
    <message>
        <source>Unable to play the recording.</source>
        <translation>Impossibile riprodurre la registrazione.</translation>
    </message>
    <message>
        <source>The server did not answer with a recording playlist.</source>
        <translation>Il server non ha risposto con una playlist di registrazione.</translation>
    </message>
    <message>
        <source>The server has no video for this time span.</source>
        <translation>Il server non ha video per questo intervallo di tempo.</translation>
    </message>
    <message>
        <source>The server&apos;s HTTPS certificate has changed. If you replaced it yourself, edit the server and save it again to accept the new certificate.</source>
        <translation>Il certificato HTTPS del server è cambiato. Se l&apos;hai sostituito tu, modifica il server e salvalo di nuovo per accettare il nuovo certificato.</translation>
    </message>
    <message>
        <source>The server sent the recording to another address, which was not followed.</source>
        <translation>Il server ha rimandato la registrazione a un altro indirizzo, che non è stato seguito.</translation>
    </message>
    <message>
        <source>Part of the recording could not be decoded.</source>
        <translation>Non è stato possibile decodificare una parte della registrazione.</translation>
    </message>
    <message>
        <source>A part of the recording is too large to play.</source>
        <translation>Una parte della registrazione è troppo grande per essere riprodotta.</translation>
    </message>
</context>
<context>
    <name>PlayerSurface</name>
    <message>
        <source>Retry</source>
        <translation>Riprova</translation>
    </message>
</context>
<context>
    <name>ServerConnection</name>
    <message>
        <source>The server&apos;s HTTPS certificate has changed. If you replaced it yourself, edit the server and save it again to accept the new certificate.</source>
        <translation>Il certificato HTTPS del server è cambiato. Se l&apos;hai sostituito tu, modifica il server e salvalo di nuovo per accettare il nuovo certificato.</translation>
    </message>
    <message>
        <source>Frigate %1 is not supported: version %2 or later is required.</source>
        <translation>Frigate %1 non è supportato: serve la versione %2 o successiva.</translation>
    </message>
</context>
<context>
    <name>ServerDirectory</name>
    <message>
        <source>Could not save the server list: %1</source>
        <translation>Impossibile salvare l&apos;elenco dei server: %1</translation>
    </message>
</context>
<context>
    <name>ServerList</name>
    <message>
        <source>a refresh interval is not a number</source>
        <translation>un intervallo di aggiornamento non è un numero</translation>
    </message>
</context>
<context>
    <name>ServerPickerView</name>
    <message>
        <source>Choose a server</source>
        <translation>Scegli un server</translation>
    </message>
    <message>
        <source>Add server</source>
        <translation>Aggiungi server</translation>
    </message>
    <message>
        <source>Connect automatically to the default server</source>
        <translation>Connetti automaticamente al server predefinito</translation>
    </message>
    <message>
        <source>At launch Kestrova opens the default server (marked with the star). To use another server, disconnect first.</source>
        <translation>All&apos;avvio Kestrova apre il server predefinito (segnato con la stella). Per usare un altro server, prima disconnettiti.</translation>
    </message>
    <message>
        <source>Delete “%1”?</source>
        <translation>Eliminare “%1”?</translation>
    </message>
    <message>
        <source>The saved password and the camera settings for this server will be removed.</source>
        <translation>La password salvata e le impostazioni delle telecamere di questo server verranno rimosse.</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Elimina</translation>
    </message>
</context>
<context>
    <name>ServerRow</name>
    <message>
        <source>No login</source>
        <extracomment>Shown instead of the username of a server without authentication.</extracomment>
        <translation>Senza autenticazione</translation>
    </message>
    <message>
        <source>Default</source>
        <extracomment>Mark of the server opened at launch.</extracomment>
        <translation>Predefinito</translation>
    </message>
    <message>
        <source>Server actions</source>
        <translation>Azioni sul server</translation>
    </message>
    <message>
        <source>Edit</source>
        <extracomment>Menu action: edit the server&apos;s settings.</extracomment>
        <translation>Modifica</translation>
    </message>
    <message>
        <source>Set as default</source>
        <translation>Imposta come predefinito</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Elimina</translation>
    </message>
</context>
<context>
    <name>SettingsPreferencesStore</name>
    <message>
        <source>%1 could not be replaced</source>
        <translation>impossibile sostituire %1</translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connessione</translation>
    </message>
    <message>
        <source>Address in use</source>
        <translation>Indirizzo in uso</translation>
    </message>
    <message>
        <source>Site name</source>
        <translation>Nome del sito</translation>
    </message>
    <message>
        <source>Local network address</source>
        <translation>Indirizzo nella rete locale</translation>
    </message>
    <message>
        <source>Remote address</source>
        <translation>Indirizzo remoto</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Nome utente</translation>
    </message>
    <message>
        <source>New password (leave empty to keep it)</source>
        <translation>Nuova password (lascia vuoto per mantenerla)</translation>
    </message>
    <message>
        <source>Save and reconnect</source>
        <translation>Salva e riconnetti</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
    <message>
        <source>Grid refresh</source>
        <translation>Aggiornamento griglia</translation>
    </message>
    <message>
        <source>Live in reduced quality</source>
        <translation>Diretta in qualità ridotta</translation>
    </message>
    <message>
        <source>Camera order</source>
        <translation>Ordine delle telecamere</translation>
    </message>
    <message>
        <source>Alerts</source>
        <translation>Avvisi</translation>
    </message>
    <message>
        <source>Also show detections</source>
        <translation>Mostra anche i rilevamenti</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>Notify new alerts</source>
        <translation>Notifica i nuovi avvisi</translation>
    </message>
</context>
<context>
    <name>SettingsViewModel</name>
    <message>
        <source>Kestrova %1</source>
        <translation>Kestrova %1</translation>
    </message>
</context>
<context>
    <name>StatusView</name>
    <message>
        <source>Status</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtra</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copia</translation>
    </message>
    <message>
        <source>new</source>
        <translation>nuovo</translation>
    </message>
    <message>
        <source>uptime %1</source>
        <translation>attivo da %1</translation>
    </message>
    <message>
        <source>online</source>
        <translation>online</translation>
    </message>
    <message>
        <source>offline</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>CPU %1% · RAM %2% · detector %3 ms · disk %4%</source>
        <extracomment>riepilogo server</extracomment>
        <translation>CPU %1% · RAM %2% · rilevatore %3 ms · disco %4%</translation>
    </message>
    <message>
        <source>%1 fps · detect %2 · skipped %3</source>
        <extracomment>statistiche telecamera</extracomment>
        <translation>%1 fps · rilevamento %2 · saltati %3</translation>
    </message>
    <message>
        <source> · ffmpeg %1%</source>
        <translation> · ffmpeg %1%</translation>
    </message>
    <message>
        <source>%1 reconnections/hour</source>
        <translation>%1 riconnessioni/ora</translation>
    </message>
    <message>
        <source>Nothing matches the filter.</source>
        <translation>Nessuna riga corrisponde al filtro.</translation>
    </message>
    <message>
        <source>Nothing to show.</source>
        <translation>Niente da mostrare.</translation>
    </message>
</context>
<context>
    <name>StatusViewModel</name>
    <message>
        <source>Events</source>
        <translation>Eventi</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Telecamere</translation>
    </message>
</context>
<context>
    <name>TextFormats</name>
    <message>
        <source>1 second</source>
        <translation>1 secondo</translation>
    </message>
    <message numerus="yes">
        <source>%n seconds</source>
        <translation>
            <numerusform>%n secondo</numerusform>
            <numerusform>%n secondi</numerusform>
        </translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 minuto</translation>
    </message>
    <message numerus="yes">
        <source>%n minutes</source>
        <translation>
            <numerusform>%n minuto</numerusform>
            <numerusform>%n minuti</numerusform>
        </translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation>1 ora</translation>
    </message>
    <message numerus="yes">
        <source>%n hours</source>
        <translation>
            <numerusform>%n ora</numerusform>
            <numerusform>%n ore</numerusform>
        </translation>
    </message>
    <message>
        <source>1 day</source>
        <translation>1 giorno</translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation>
            <numerusform>%n giorno</numerusform>
            <numerusform>%n giorni</numerusform>
        </translation>
    </message>
    <message>
        <source>1 week</source>
        <translation>1 settimana</translation>
    </message>
    <message numerus="yes">
        <source>%n weeks</source>
        <translation>
            <numerusform>%n settimana</numerusform>
            <numerusform>%n settimane</numerusform>
        </translation>
    </message>
    <message>
        <source>1 month</source>
        <translation>1 mese</translation>
    </message>
    <message numerus="yes">
        <source>%n months</source>
        <translation>
            <numerusform>%n mese</numerusform>
            <numerusform>%n mesi</numerusform>
        </translation>
    </message>
    <message>
        <source>1 year</source>
        <translation>1 anno</translation>
    </message>
    <message numerus="yes">
        <source>%n years</source>
        <translation>
            <numerusform>%n anno</numerusform>
            <numerusform>%n anni</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 ago</source>
        <extracomment>A span of time before now, e.g. &quot;5 minutes ago&quot;.</extracomment>
        <translation>%1 fa</translation>
    </message>
    <message>
        <source>in %1</source>
        <extracomment>A span of time after now, e.g. &quot;in 2 hours&quot;.</extracomment>
        <translation>tra %1</translation>
    </message>
    <message>
        <source>yesterday</source>
        <translation>ieri</translation>
    </message>
    <message>
        <source>tomorrow</source>
        <translation>domani</translation>
    </message>
    <message>
        <source>just now</source>
        <translation>proprio ora</translation>
    </message>
    <message>
        <source>Person</source>
        <translation>Persona</translation>
    </message>
    <message>
        <source>Car</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Dog</source>
        <translation>Cane</translation>
    </message>
    <message>
        <source>Cat</source>
        <translation>Gatto</translation>
    </message>
    <message>
        <source>Bicycle</source>
        <translation>Bicicletta</translation>
    </message>
    <message>
        <source>Motorcycle</source>
        <translation>Moto</translation>
    </message>
    <message>
        <source>Bird</source>
        <translation>Uccello</translation>
    </message>
    <message>
        <source>Truck</source>
        <translation>Camion</translation>
    </message>
    <message>
        <source>Package</source>
        <extracomment>A parcel delivered at the door.</extracomment>
        <translation>Pacco</translation>
    </message>
    <message>
        <source>Motion</source>
        <extracomment>An alert caused by motion alone, with no recognised object.</extracomment>
        <translation>Movimento</translation>
    </message>
    <message>
        <source>%1 sec</source>
        <extracomment>Short durations shown in lists: seconds, minutes, hours.</extracomment>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 min %2 sec</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 TB</source>
        <translation>%1 TB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
</context>
<context>
    <name>TimeJumpSheet</name>
    <message>
        <source>Go to time</source>
        <translation>Vai all&apos;ora</translation>
    </message>
    <message>
        <source>Hours</source>
        <translation>Ore</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minuti</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Secondi</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Go</source>
        <extracomment>Button: jump to the chosen time.</extracomment>
        <translation>Vai</translation>
    </message>
</context>
<context>
    <name>VideoPlayerModel</name>
    <message>
        <source>Recording available from %1</source>
        <translation>Registrazione disponibile dalle %1</translation>
    </message>
    <message>
        <source>No recording at that time</source>
        <translation>Nessuna registrazione a quell&apos;ora</translation>
    </message>
    <message>
        <source>Snapshot unavailable</source>
        <translation>Istantanea non disponibile</translation>
    </message>
    <message>
        <source>Couldn&apos;t save the snapshot</source>
        <translation>Impossibile salvare l&apos;istantanea</translation>
    </message>
    <message>
        <source>Snapshot saved to %1</source>
        <translation>Istantanea salvata in %1</translation>
    </message>
    <message>
        <source>Preparing clip…</source>
        <translation>Preparazione della clip…</translation>
    </message>
    <message>
        <source>Download failed</source>
        <translation>Download non riuscito</translation>
    </message>
    <message>
        <source>Clip saved to %1</source>
        <translation>Clip salvata in %1</translation>
    </message>
    <message>
        <source>Marked as unseen</source>
        <translation>Segnato come non visto</translation>
    </message>
</context>
<context>
    <name>VideoPlayerScreen</name>
    <message>
        <source>%1 · %2 of %3</source>
        <extracomment>Player title: &quot;Front door · 2 of 5&quot; (camera, position, count).</extracomment>
        <translation>%1 · %2 di %3</translation>
    </message>
    <message>
        <source>More</source>
        <extracomment>Button opening the menu of further actions.</extracomment>
        <translation>Altro</translation>
    </message>
    <message>
        <source>Mark as unseen</source>
        <translation>Segna come non visto</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>Schermo intero</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Previous</source>
        <extracomment>Button: play the previous alert.</extracomment>
        <translation>Precedente</translation>
    </message>
    <message>
        <source>Back 10 seconds</source>
        <translation>Indietro di 10 secondi</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Riproduci</translation>
    </message>
    <message>
        <source>Forward 10 seconds</source>
        <translation>Avanti di 10 secondi</translation>
    </message>
    <message>
        <source>Next</source>
        <extracomment>Button: play the next alert.</extracomment>
        <translation>Successivo</translation>
    </message>
    <message>
        <source>Speed</source>
        <extracomment>Playback speed, e.g. 2×.</extracomment>
        <translation>Velocità</translation>
    </message>
    <message>
        <source>Speed ([ and ])</source>
        <translation>Velocità ([ e ])</translation>
    </message>
    <message>
        <source>Sound on</source>
        <extracomment>Button actions: turn the sound on, or mute it.</extracomment>
        <translation>Attiva audio</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Disattiva audio</translation>
    </message>
    <message>
        <source>Hide boxes</source>
        <translation>Nascondi riquadri</translation>
    </message>
    <message>
        <source>Show boxes</source>
        <translation>Mostra riquadri</translation>
    </message>
    <message>
        <source>Go to time</source>
        <translation>Vai all&apos;ora</translation>
    </message>
    <message>
        <source>Save snapshot</source>
        <translation>Salva istantanea</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>Scarica</translation>
    </message>
    <message>
        <source>Download clip</source>
        <translation>Scarica clip</translation>
    </message>
    <message>
        <source>Show in folder</source>
        <translation>Mostra nella cartella</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>Copia percorso</translation>
    </message>
</context>
</TS>
