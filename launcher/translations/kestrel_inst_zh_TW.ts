<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>KestrelInst</name>
    <message>
        <source>Can not load ORVA Kestrel Setup program</source>
        <translation>無法載入 ORVA Kestrel 安裝程式</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>錯誤</translation>
    </message>
    <message>
        <source>Restart the computer to complete the installation.</source>
        <translation>請重新啟動電腦以完成安裝。</translation>
    </message>
    <message>
        <source>ORVA Kestrel Setup</source>
        <translation>ORVA Kestrel 安裝程式</translation>
    </message>
</context>
</TS>
