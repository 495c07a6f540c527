<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>kestrel::overlaysettings::KestrelSettingDialog</name>
    <message>
        <source>ORVA Kestrel Settings</source>
        <translation>ORVA Kestrel 設定</translation>
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
        <source>Hot Key</source>
        <translation>快速鍵</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;About KestrelSetting...</source>
        <translation>關於 KestrelSetting(&amp;A)...</translation>
    </message>
    <message>
        <source>Please enter an integer.</source>
        <translation>請輸入整數。</translation>
    </message>
</context>
<context>
    <name>kestrel::overlaysettings::AboutKestrelSettingDialog</name>
    <message>
        <source>About ORVA Kestrel Setting</source>
        <translation>關於 ORVA Kestrel Setting</translation>
    </message>
    <message>
        <source>ORVA Kestrel Setting Program Version 1.0</source>
        <translation>ORVA Kestrel Setting 程式 1.0 版</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
<context>
    <name>kestrel::overlaysettings::HotKeyEdit</name>
    <message>
        <source>None</source>
        <translation>無</translation>
    </message>
</context>
</TS>
