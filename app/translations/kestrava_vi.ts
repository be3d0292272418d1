<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi" sourcelanguage="vi">
<context>
    <name>Kestrava</name>
    <message>
        <source>Cần duyệt trong Login Items</source>
        <translation>Dịch vụ agent đang bị chặn: chạy “systemctl --user unmask kestrava-agent.service”</translation>
    </message>
    <message>
        <source>iPhone này giờ đã xem và điều khiển được Mac.</source>
        <translation>iPhone này giờ đã xem và điều khiển được máy tính.</translation>
    </message>
    <message>
        <source>“%1” muốn theo dõi và điều khiển Mac này.</source>
        <translation>“%1” muốn theo dõi và điều khiển máy tính này.</translation>
    </message>
    <message>
        <source>Mỗi Mac ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại.</source>
        <translation>Mỗi máy tính ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại.</translation>
    </message>
</context>
</TS>
