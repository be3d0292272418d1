<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi" sourcelanguage="vi">
<context>
    <name>Kestrava</name>
    <message>
        <source>Cần duyệt trong Login Items</source>
        <translation>Dịch vụ agent đang bị chặn: chạy “systemctl --user unmask kestrava-agent.service”</translation>
    </message>
</context>
</TS>
