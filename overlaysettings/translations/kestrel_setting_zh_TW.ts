<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>PlacementControls</name>
    <message>
        <location filename="../PlacementControls.cpp" line="30"/>
        <source>Transparency</source>
        <translation>透明度</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="49"/>
        <source>Position</source>
        <translation>位置</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="52"/>
        <source>Top/Right</source>
        <translation>右上</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="53"/>
        <source>Top/Left</source>
        <translation>左上</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="54"/>
        <source>Bottom/Left</source>
        <translation>左下</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="55"/>
        <source>Bottom/Right</source>
        <translation>右下</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="56"/>
        <source>User Input</source>
        <translation>自訂位置</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="66"/>
        <source>X:</source>
        <translation>X:</translation>
    </message>
    <message>
        <location filename="../PlacementControls.cpp" line="68"/>
        <source>Y:</source>
        <translation>Y:</translation>
    </message>
</context>
<context>
    <name>kestrel::overlaysettings::AboutKestrelSettingDialog</name>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="146"/>
        <source>About ORVA Kestrel Setting</source>
        <translation>關於 ORVA Kestrel Setting</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="149"/>
        <source>ORVA Kestrel Setting Program Version 1.0</source>
        <translation>ORVA Kestrel Setting 程式 1.0 版</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="151"/>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
<context>
    <name>kestrel::overlaysettings::HotKeyEdit</name>
    <message>
        <location filename="../HotKeyEdit.cpp" line="28"/>
        <source>None</source>
        <translation>無</translation>
    </message>
</context>
<context>
    <name>kestrel::overlaysettings::KestrelSettingDialog</name>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="31"/>
        <source>ORVA Kestrel Settings</source>
        <translation>ORVA Kestrel 設定</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="49"/>
        <source>Hot Key</source>
        <translation>快速鍵</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="58"/>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="61"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="63"/>
        <source>&amp;About KestrelSetting...</source>
        <translation>關於 KestrelSetting(&amp;A)...</translation>
    </message>
    <message>
        <location filename="../KestrelSettingDialog.cpp" line="109"/>
        <source>Please enter an integer.</source>
        <translation>請輸入整數。</translation>
    </message>
</context>
</TS>
