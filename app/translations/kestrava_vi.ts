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
    <message>
        <source>iPhone này sẽ không xem hay điều khiển được Mac nữa. Muốn dùng lại thì phải ghép lại.</source>
        <translation>iPhone này sẽ không xem hay điều khiển được máy tính nữa. Muốn dùng lại thì phải ghép lại.</translation>
    </message>
    <message>
        <source>Mac đang không kết nối relay: iPhone được gỡ khỏi Mac ngay và sẽ gỡ khỏi relay khi kết nối lại.</source>
        <translation>Máy tính đang không kết nối relay: iPhone được gỡ khỏi máy tính ngay và sẽ gỡ khỏi relay khi kết nối lại.</translation>
    </message>
    <message>
        <source>Agent đang mất cấu hình: iPhone chỉ gỡ trên Mac; relay sẽ không được báo.</source>
        <translation>Agent đang mất cấu hình: iPhone chỉ gỡ trên máy tính; relay sẽ không được báo.</translation>
    </message>
    <message>
        <source>Chỉ gỡ trên Mac; relay sẽ không được báo</source>
        <translation>Chỉ gỡ trên máy tính; relay sẽ không được báo</translation>
    </message>
    <message>
        <source>Relay đã gỡ Mac này</source>
        <translation>Relay đã gỡ máy tính này</translation>
    </message>
    <message>
        <source>Một Mac khác đang dùng danh tính này</source>
        <translation>Một máy tính khác đang dùng danh tính này</translation>
    </message>
    <message>
        <source>Tắt Kestrava trên Mac kia hoặc gỡ Mac đó khỏi iPhone, rồi khởi động lại agent ở đây.</source>
        <translation>Tắt Kestrava trên máy tính kia hoặc gỡ máy tính đó khỏi iPhone, rồi khởi động lại agent ở đây.</translation>
    </message>
    <message>
        <source>Đăng ký lại Mac này</source>
        <translation>Đăng ký lại máy tính này</translation>
    </message>
    <message>
        <source>Agent không khởi động được — mở Login Items, tắt rồi bật Kestrava; nếu vẫn lỗi, xoá bản Kestrava cũ rồi mở lại</source>
        <translation>Agent không khởi động được — chạy “systemctl --user restart kestrava-agent.service”; nếu vẫn lỗi, xoá bản Kestrava cũ rồi mở lại</translation>
    </message>
    <message>
        <source>Không chép được vào Applications — hãy kéo Kestrava vào Applications bằng Finder rồi mở lại.</source>
        <translation>Không chép được vào ~/Applications — hãy chép thư mục Kestrava vào ~/Applications bằng trình quản lý tệp rồi mở lại.</translation>
    </message>
    <message>
        <source>Đã chép Kestrava vào Applications — hãy mở nó từ Applications.</source>
        <translation>Đã chép Kestrava vào ~/Applications/Kestrava — hãy mở nó từ đó.</translation>
    </message>
</context>
</TS>
