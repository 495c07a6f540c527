<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>kestrel::ui::CGeneralDlg</name>
    <message>
        <source>Kestrel</source>
        <translation>Kestrel</translation>
    </message>
    <message>
        <source>Transparency</source>
        <translation>透明度</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Top/Right</source>
        <translation>右上</translation>
    </message>
    <message>
        <source>Top/Left</source>
        <translation>左上</translation>
    </message>
    <message>
        <source>Bottom/Left</source>
        <translation>左下</translation>
    </message>
    <message>
        <source>Bottom/Right</source>
        <translation>右下</translation>
    </message>
    <message>
        <source>User Input</source>
        <translation>自訂位置</translation>
    </message>
    <message>
        <source>X:</source>
        <translation>X:</translation>
    </message>
    <message>
        <source>Y:</source>
        <translation>Y:</translation>
    </message>
    <message>
        <source>OSD Hot Key</source>
        <translation>OSD 快速鍵</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>啟用</translation>
    </message>
    <message>
        <source>Kestrel Hot Key</source>
        <translation>Kestrel 快速鍵</translation>
    </message>
    <message>
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
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
