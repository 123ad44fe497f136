<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>BackgroundPreset</name>
    <message>
        <source>Sunrise</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ocean</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grape</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Peach</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lime</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flamingo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sky</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mango</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Night</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aurora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dusk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Candy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fire</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mint</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Royal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cotton</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>White</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Graphite</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Orange</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>give one --action at a time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--action needs the name of an action</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown action &quot;%1&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--action opens no files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--action and --preview-recording-bar exclude each other</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The actions are:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: vantrel [options] [image files…]

Vantrel lives in the tray: it captures an area, a window or the screen, annotates and
records. Launching vantrel again while it runs hands the request to the running one:
image files open in the editor, no arguments opens the settings.

Options:
  --action NAME            run an action in the running Vantrel, as its shortcut does;
                           Vantrel is started first when it is not running
  --selftest [FOLDER]      check rendering, stitching and layout without a window and
                           write editor-render.png into FOLDER; exit status 0 when all pass
  --preview-recording-bar  show the recording control bar, print its layout, quit after 4 s
  -h, --help               show this help
  --version                show the version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>only local files can be opened</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryCell</name>
    <message>
        <source>GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VIDEO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2</source>
        <comment>capture date, then its time</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <comment>pixel width, then height</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryCommand</name>
    <message>
        <source>Could not read this capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Quick Access Overlay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save to Export Location</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin to Screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Text (OCR)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Capture History</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HotKeyAction</name>
    <message>
        <source>All-In-One</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture Area</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture Previous Area</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture Fullscreen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Self-Timer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scrolling Capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture Text (OCR)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record Screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Capture History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin Image from Clipboard</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ImageFiles</name>
    <message>
        <source>it is not an image Vantrel can read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the picture is too large to open (%1 × %2 pixels)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the picture is damaged or incomplete</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PipeWireScreenRecording</name>
    <message>
        <source>The desktop stopped sharing the screen.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QtFolderDialog</name>
    <message>
        <source>Choose a Folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>The screen sent no picture to record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not write the GIF header</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not write a GIF frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not find the GIF&apos;s colours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A GIF cannot be %1 × %2 pixels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A GIF needs at least one frame a second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not start the GIF: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The GIF is already finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A frame of the wrong size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The GIF has no frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not finish the GIF: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open the movie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read the movie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The movie has no video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The movie has no picture size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not set up the decoder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open the decoder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The encoder failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not write the movie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out of memory for audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio encoder failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The video size %1 × %2 cannot be encoded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No MPEG-4 writer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No H.264 encoder (libx264) is installed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not start the H.264 encoder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out of memory for a %1 × %2 video frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No AAC encoder is installed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not start the AAC encoder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create the movie file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The video encoder failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not finish the movie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No audio server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not start audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No audio source could be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recorded area lies outside the screen&apos;s stream</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recorded screen changed its size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PipeWire failed: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The screen&apos;s stream ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The screen&apos;s stream failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No PipeWire loop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No PipeWire context</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The PipeWire thread did not start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not use the screen&apos;s stream: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not connect to PipeWire: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No PipeWire stream</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not connect the stream: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The screen&apos;s stream sent no picture format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recording area is not on the screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The screen cannot be recorded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recorded screen went away</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recorded screen can no longer be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not connect to the X server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unsupported screen pixel format (depth %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out of memory for %1 × %2 frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The X server closed the connection</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScreenCapture</name>
    <message>
        <source>Display not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screen capture is not available</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture area is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No X11 display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The capture rectangle lies outside the display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The X server has no Composite extension</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The window has closed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The window is not on screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No X11 connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Empty capture rectangle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unsupported pixel format (depth %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The X server refused the screen grab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Out of memory for a %1 × %2 grab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The X server sent an incomplete image</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScreenCastPortal</name>
    <message>
        <source>The desktop gave no connection to the screen&apos;s stream.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sharing the screen was cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop did not share the screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop shared no screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop shared another screen than the one the area is on.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop refused to share the screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no session bus to reach the desktop&apos;s screen sharing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desktop offers no screen sharing to record the screen.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tool</name>
    <message>
        <source>Select &amp; Move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Crop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rectangle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filled Rectangle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ellipse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pencil</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Highlighter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Counter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blur</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pixelate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spotlight</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::AppDelegate</name>
    <message>
        <source>Images (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open %1 files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Image in Editor…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore Recently Closed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unlock Pinned Screenshots</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close All Pins</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide Desktop Icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Vantrel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Image in Editor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop recording</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::BackgroundPanel</name>
    <message>
        <source>Background</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Padding</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Corner Radius</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aspect Ratio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto Balance</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::CaptureCoordinator</name>
    <message>
        <source>Screen recording is not available on this desktop yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desktop does not let Vantrel capture single windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Window capture failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screen Recording permission needed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vantrel needs permission to capture the screen. Allow it when your desktop asks, or in its privacy settings, then try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No image on the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::CaptureHistory</name>
    <message>
        <source>The disk is full: captures are not kept in the history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history folder is read-only: captures are not kept</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Captures are not being kept in the history</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::CaptureItem</name>
    <message>
        <source>Save failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read this capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::DragHandle</name>
    <message>
        <source>Drag the image into any app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag me</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::EditorBottomBar</name>
    <message>
        <source>%1 × %2 px</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Share</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open With…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy File Path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::EditorToolbar</name>
    <message>
        <source>%1 (%2)</source>
        <comment>a tool and its key</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 pt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stroke width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tapered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Classic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Double</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Curved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plain</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Outline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Font size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo (Ctrl+Z)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Redo (Shift+Ctrl+Z)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate, flip &amp; resize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate Right</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip Horizontal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flip Vertical</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resize to 50%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resize to 1x (non-HiDPI)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Background tool</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::EditorWindowController</name>
    <message>
        <source>Vantrel Editor</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::FirstRunWindow</name>
    <message>
        <source>Welcome to Vantrel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screenshots, recordings, annotations and OCR — right from your system tray.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default shortcuts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screen Recording permission</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grant…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get Started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Granted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Required to capture your screen. Relaunch Vantrel after granting.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::HistoryView</name>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screenshots</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scrolling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIFs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No captures yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::KeystrokeOverlay</name>
    <message>
        <source>Keystrokes cannot be shown on this desktop</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::OverlayBar</name>
    <message>
        <source>Capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Timer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scrolling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fullscreen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Scrolling Capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::OverlayView</name>
    <message>
        <source>Select an area to recognize text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select an area — the timer starts after you release</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag to select an area  ·  Esc: cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag to select an area  ·  Space: window mode  ·  Esc: cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag to select an area to record  ·  Esc: cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drag to select an area to record  ·  Space: window  ·  Esc: cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select the scrollable area</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click a window to capture it  ·  Space: area mode  ·  Esc: cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Window</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::PinWindow</name>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annotate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opacity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lock (Click Through)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin locked — unlock from the tray menu</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::QuickAccessView</name>
    <message>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close (Ctrl+W)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin to screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annotate (Ctrl+E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy text (OCR)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VIDEO</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::RecorderButton</name>
    <message>
        <source>Type shortcut…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record Shortcut</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::RecordingControls</name>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starting…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discard</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::ScreenRecorder</name>
    <message>
        <source>The screen cannot be recorded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create a private folder in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The area is too small to record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording stopped: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Converting to GIF…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF conversion failed — kept the video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF ready</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording stopped: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not start recording</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::ScrollingCapture</name>
    <message>
        <source>Scroll slowly…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll slowly…  %1 pt</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::ScrollingCapturePanel</name>
    <message>
        <source>Scroll slowly…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::SettingsWindow</name>
    <message>
        <source>%1 fps</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vantrel Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Screenshots</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quick Access</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shortcuts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The desktop uses %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Startup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play capture sound</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>After capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show Quick Access Overlay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy file to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save to export location</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open annotation editor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File name prefix</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Location</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep captures for</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 week</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 month</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3 months</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Area selection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Freeze screen while selecting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show crosshair</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show magnifier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water-drop animation when a capture starts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Needs “Freeze screen while selecting”. Also skipped when the desktop’s animations are turned off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Window capture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Capture window shadow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add background behind windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Self-timer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Countdown: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide desktop icons</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record at full HiDPI resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show cursor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Highlight clicks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show keystrokes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio &amp;&amp; camera</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record microphone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record computer audio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show webcam bubble</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GIF frame rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Max width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 px</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Overlay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Position</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bottom Right</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size: %1 pt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hide automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>5 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>10 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>30 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slide away after</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hovering a thumbnail keeps it open.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tips</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Hover the thumbnail for Copy, Save, Annotate, Pin and Text actions. Drag it into any app. Swipe sideways to dismiss. With the overlay focused: Ctrl+C copy, Ctrl+S save, Ctrl+E annotate, Ctrl+P pin, Ctrl+W close.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set by the desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click a shortcut, then press the new keys. Esc cancels, Backspace clears. Super is the Windows key. To use the Print key, first turn off your desktop’s own screenshot shortcuts in its keyboard settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::ShortcutRecorder</name>
    <message>
        <source>The desktop binds these shortcuts: it may ask you to confirm them, or keep keys you chose in its own settings.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desktop lets only its own settings bind global shortcuts. In its keyboard settings, add a custom shortcut for each action you want that runs its command, such as “vantrel --action captureArea”.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>vantrel::TextRecognition</name>
    <message>
        <source>Scanning for text…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No text found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied QR: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copied text: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
