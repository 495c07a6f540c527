<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>kestrel::ui::CGeneralDlg</name>
    <message>
        <location filename="../GeneralDlg.cpp" line="24"/>
        <source>Kestrel</source>
        <translation>Kestrel</translation>
    </message>
    <message>
        <location filename="../GeneralDlg.cpp" line="38"/>
        <source>OSD Hot Key</source>
        <translation>OSD 快速鍵</translation>
    </message>
    <message>
        <location filename="../GeneralDlg.cpp" line="41"/>
        <source>Enable</source>
        <translation>啟用</translation>
    </message>
    <message>
        <location filename="../GeneralDlg.cpp" line="47"/>
        <source>Kestrel Hot Key</source>
        <translation>Kestrel 快速鍵</translation>
    </message>
    <message>
        <location filename="../GeneralDlg.cpp" line="141"/>
        <source>Please enter an integer.</source>
        <translation>請輸入整數。</translation>
    </message>
    <message>
        <source>This desktop lets no program take the Kestrel Hot Key while a game has the focus. To show and hide the floating picture from a game, add a keyboard shortcut in the desktop&apos;s settings that runs:
%1</source>
        <translation>此桌面不允許程式在遊戲取得焦點時使用 Kestrel 快速鍵。若要在遊戲中顯示或隱藏浮動畫面，請在桌面的設定中新增一個執行以下指令的鍵盤快速鍵：
%1</translation>
    </message>
</context>
<context>
    <name>kestrel::ui::COptions</name>
    <message>
        <location filename="../Options.cpp" line="46"/>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <location filename="../Options.cpp" line="49"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
