<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en_US">
<context>
    <name>kestrel::media::pages::CVideoDlg</name>
    <message>
        <source>Video</source>
        <translation>視訊</translation>
    </message>
    <message>
        <source>176x144</source>
        <translation>176x144</translation>
    </message>
    <message>
        <source>352x288</source>
        <translation>352x288</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>啟用</translation>
    </message>
    <message>
        <source>Video Device</source>
        <translation>視訊裝置</translation>
    </message>
    <message>
        <source>Device Input</source>
        <translation>裝置輸入</translation>
    </message>
    <message>
        <source>Video Size</source>
        <translation>視訊大小</translation>
    </message>
</context>
<context>
    <name>kestrel::media::pages::CAudioDlg</name>
    <message>
        <source>Audio</source>
        <translation>音訊</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>啟用</translation>
    </message>
    <message>
        <source>Record Volume</source>
        <translation>錄音音量</translation>
    </message>
    <message>
        <source>Audio Device</source>
        <translation>音訊裝置</translation>
    </message>
</context>
</TS>
