/* Vestrel skin: a Qt style sheet applied to the start window. Its light
   surfaces carry dark text whatever the desktop's colours are. */
QPushButton {
    color: #000000;
    border: 1px solid #7a8a99;
    border-radius: 3px;
    padding: 1px 1px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfd, stop:1 #dfe5ea);
}
QPushButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #cfe0f0);
    border-color: #3c7fc0;
}
QPushButton:pressed {
    background: #c4d6e8;
}
QLineEdit {
    color: #000000;
    selection-color: #ffffff;
    selection-background-color: #3c7fc0;
    border: 1px solid #7a8a99;
    padding: 1px 3px;
    background: #ffffff;
}
