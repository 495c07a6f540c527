<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>StringTable</name>
    <message>
        <location filename="../StringTable.cpp" line="10"/>
        <source>Windows sockets initialization failed.</source>
        <translation>Windows 通訊端初始化失敗。</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="11"/>
        <source>Play/Stop</source>
        <translation>播放/停止</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="12"/>
        <source>Options</source>
        <translation>選項</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="13"/>
        <source>Make a Call</source>
        <translation>撥打電話</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="14"/>
        <source>End the Call</source>
        <translation>結束通話</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="15"/>
        <source>Call History</source>
        <translation>通話記錄</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="16"/>
        <source>Can&apos;t connect to self</source>
        <translation>無法連線到自己</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="17"/>
        <source>Connection Failed!!</source>
        <translation>連線失敗!!</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="18"/>
        <source>Network initialize Failed</source>
        <translation>網路初始化失敗</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="19"/>
        <source>Can&apos;t find the computer %s</source>
        <translation>找不到電腦 %s</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="20"/>
        <source>Create Capture Graph Error!</source>
        <translation>建立擷取圖表錯誤!</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="21"/>
        <source>Create Render Graph Error!</source>
        <translation>建立播放圖表錯誤!</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="22"/>
        <source>Kestrel Options</source>
        <translation>Kestrel 選項</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="23"/>
        <source>Local Play/Stop</source>
        <translation>本機播放/停止</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="24"/>
        <source>Make a new call to remote computer</source>
        <translation>撥打新電話給遠端電腦</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="25"/>
        <source>Terminate the current call</source>
        <translation>結束目前的通話</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="26"/>
        <source>Runtime Encoder Setting</source>
        <translation>執行時編碼器設定</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="27"/>
        <source>Local Information</source>
        <translation>本機資訊</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="28"/>
        <source>There is a call from %s
 Accept call?</source>
        <translation>有來自 %s 的電話
 是否接聽?</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="29"/>
        <source>explorer readme_e.htm</source>
        <translation>explorer readme_c.htm</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="30"/>
        <source>hostname: %s, hostip: %s
</source>
        <translation>主機名稱: %s, 主機 IP: %s
</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="31"/>
        <source>Kestrel</source>
        <translation>Kestrel</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="32"/>
        <source>Ready</source>
        <translation>就緒</translation>
    </message>
    <message>
        <location filename="../StringTable.cpp" line="33"/>
        <source>Exit Kestrel</source>
        <translation>結束 Kestrel</translation>
    </message>
</context>
<context>
    <name>kestrel::ui::CAboutDlg</name>
    <message>
        <location filename="../AboutDlg.cpp" line="13"/>
        <source>About Kestrel</source>
        <translation>關於 Kestrel</translation>
    </message>
    <message>
        <location filename="../AboutDlg.cpp" line="16"/>
        <source>ORVA Kestrel Beta 002</source>
        <translation>ORVA Kestrel Beta 002</translation>
    </message>
</context>
<context>
    <name>kestrel::ui::CMainFrame</name>
    <message>
        <location filename="../MainFrame.cpp" line="103"/>
        <source>&amp;Call</source>
        <translation>通話(&amp;C)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="104"/>
        <source>&amp;Local Play/Stop</source>
        <translation>本機播放/停止(&amp;L)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="105"/>
        <source>&amp;New Call</source>
        <translation>新通話(&amp;N)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="106"/>
        <source>&amp;End Call</source>
        <translation>結束通話(&amp;E)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="107"/>
        <source>E&amp;xit</source>
        <translation>結束(&amp;X)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="111"/>
        <source>&amp;Tool</source>
        <translation>工具(&amp;T)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="112"/>
        <source>&amp;Option</source>
        <translation>選項(&amp;O)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="113"/>
        <source>&amp;Encoder</source>
        <translation>編碼器(&amp;E)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="114"/>
        <source>&amp;Info</source>
        <translation>資訊(&amp;I)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="116"/>
        <source>&amp;View</source>
        <translation>檢視(&amp;V)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="117"/>
        <source>&amp;Status Bar</source>
        <translation>狀態列(&amp;S)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="120"/>
        <source>&amp;Windows size</source>
        <translation>視窗大小(&amp;W)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="126"/>
        <source>&amp;Help</source>
        <translation>說明(&amp;H)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="127"/>
        <source>&amp;Readme</source>
        <translation>讀我檔案(&amp;R)</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="128"/>
        <source>&amp;About Kestrel...</source>
        <translation>關於 Kestrel(&amp;A)...</translation>
    </message>
    <message>
        <location filename="../MainFrame.cpp" line="269"/>
        <source>ORVA Kestrel</source>
        <translation>ORVA Kestrel</translation>
    </message>
</context>
</TS>
